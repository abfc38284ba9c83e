// The value the tool asks a connected app to use for one setting.
#pragma once

#include "MorvendaModel/CanonicalText.h"
#include "MorvendaModel/Setting.h"

#include <QString>

class SettingOverride
{
public:
    SettingOverride(QString key, Setting::Value value)
        : m_key(std::move(key)), m_value(std::move(value))
    {
    }

    // The key of the setting to override.
    const QString &key() const { return m_key; }
    const Setting::Value &value() const { return m_value; }

    friend bool operator==(const SettingOverride &a, const SettingOverride &b)
    {
        return CanonicalText::equal(a.m_key, b.m_key) && a.m_value == b.m_value;
    }

private:
    QString m_key;
    Setting::Value m_value;
};
