// The system colour scheme as the desktop portal reports it (org.freedesktop.appearance
// color-scheme over the session bus), followed while the tool runs. Without a bus, a portal or a
// preference, the lightness of the platform palette at start decides. Never blocks: the portal
// is asked asynchronously and the fallback stands until it answers. Main thread.
#pragma once

#include "MorvendaApp/shell/SystemColorScheme.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <optional>

class PortalColorScheme : public SystemColorScheme
{
    Q_OBJECT

public:
    // The fallback is the lightness of the application palette now, so make this object before
    // the AppearanceService replaces that palette with ours.
    explicit PortalColorScheme(QObject *parent = nullptr);
    // `fallback` stands while the portal has not answered or has no preference; tests pass the
    // bus of their own portal.
    PortalColorScheme(ColorScheme fallback, const QDBusConnection &bus, QObject *parent = nullptr);

    ColorScheme colorScheme() const override;

private slots:
    void onSettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);

private:
    void askPortal();
    void applyPortalValue(const QVariant &value);

    QDBusConnection m_bus;
    ColorScheme m_fallback;
    std::optional<ColorScheme> m_portal;
    bool m_settingChanged = false;
};
