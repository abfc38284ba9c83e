// The stored user preferences, published: every assignment notifies, after the value is stored.
// Made once by the application and handed to the preferences window and the appearance service.
// Main thread.
#pragma once

#include "MorvendaApp/shell/PreferredColorScheme.h"

#include <QObject>

class QSettings;

class Preferences : public QObject
{
    Q_OBJECT

public:
    // `settings` must outlive this object; tests pass a settings file of their own.
    explicit Preferences(QSettings &settings, QObject *parent = nullptr);

    PreferredColorScheme preferredColorScheme() const;
    // Stores the choice at once (the user picked it) and notifies.
    void setPreferredColorScheme(PreferredColorScheme scheme);

signals:
    void preferredColorSchemeChanged(PreferredColorScheme scheme);

private:
    QSettings &m_settings;
    PreferredColorScheme m_preferredColorScheme;
};
