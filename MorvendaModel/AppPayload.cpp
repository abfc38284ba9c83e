#include "AppPayload.h"

AppPayload::AppPayload(Value value)
    : m_value(std::move(value))
{
}

AppPayload AppPayload::settingOverride(SettingOverride settingOverride)
{
    return AppPayload(Value(std::move(settingOverride)));
}

AppPayload AppPayload::runDeeplink(QString deeplink)
{
    return AppPayload(Value(Deeplink{std::move(deeplink)}));
}

AppPayload AppPayload::impersonate(ImpersonationInfo info)
{
    return AppPayload(Value(std::move(info)));
}

AppPayload AppPayload::serverHello()
{
    return AppPayload(Value(Hello{}));
}

AppPayload::Kind AppPayload::kind() const
{
    return static_cast<Kind>(m_value.index());
}

const SettingOverride *AppPayload::asSettingOverride() const
{
    return std::get_if<SettingOverride>(&m_value);
}

const QString *AppPayload::asRunDeeplink() const
{
    const auto *deeplink = std::get_if<Deeplink>(&m_value);
    return deeplink ? &deeplink->text : nullptr;
}

const ImpersonationInfo *AppPayload::asImpersonate() const
{
    return std::get_if<ImpersonationInfo>(&m_value);
}

bool operator==(const AppPayload &a, const AppPayload &b)
{
    return a.m_value == b.m_value;
}
