// What the tool sends to a connected app: exactly one of a setting override, a deeplink to open,
// a user to impersonate, or the server's hello. Wire form: a one-key object. Plain value.
#pragma once

#include "MorvendaModel/CanonicalText.h"
#include "MorvendaModel/ImpersonationInfo.h"
#include "MorvendaModel/SettingOverride.h"

#include <QString>

#include <variant>

class AppPayload
{
public:
    enum class Kind { SettingOverride, RunDeeplink, Impersonate, ServerHello };

    static AppPayload settingOverride(SettingOverride settingOverride);
    // The deeplink URL text, sent unchanged (it is not parsed as a URL).
    static AppPayload runDeeplink(QString deeplink);
    static AppPayload impersonate(ImpersonationInfo info);
    static AppPayload serverHello();

    Kind kind() const;
    // The value of the case, or nullptr for another case.
    const SettingOverride *asSettingOverride() const;
    const QString *asRunDeeplink() const;
    const ImpersonationInfo *asImpersonate() const;

    // Same case and equal values; an override's number follows floating-point equality, so a NaN
    // override never equals anything.
    friend bool operator==(const AppPayload &a, const AppPayload &b);

private:
    struct Deeplink
    {
        QString text;
        friend bool operator==(const Deeplink &a, const Deeplink &b)
        {
            return CanonicalText::equal(a.text, b.text);
        }
    };
    struct Hello
    {
        friend bool operator==(const Hello &, const Hello &) { return true; }
    };
    using Value = std::variant<SettingOverride, Deeplink, ImpersonationInfo, Hello>;
    explicit AppPayload(Value value);
    Value m_value;
};
