#include "PortalColorScheme.h"

#include "MorvendaApp/components/NamedColors.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcPortal, "morvenda.PortalColorScheme")

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kNamespace = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// Read answers a variant inside a variant; SettingChanged a plain one. Unwrap both.
QVariant unwrap(QVariant value)
{
    for (int depth = 0; depth < 3 && value.typeId() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = qvariant_cast<QDBusVariant>(value).variant();
    return value;
}

} // namespace

PortalColorScheme::PortalColorScheme(QObject *parent)
    : PortalColorScheme(isDarkPalette(QGuiApplication::palette()) ? ColorScheme::Dark : ColorScheme::Light,
                        QDBusConnection::sessionBus(), parent)
{
}

PortalColorScheme::PortalColorScheme(ColorScheme fallback, const QDBusConnection &bus, QObject *parent)
    : SystemColorScheme(parent)
    , m_bus(bus)
    , m_fallback(fallback)
{
    if (!m_bus.isConnected()) {
        qCInfo(lcPortal) << "no session bus; the system colour scheme follows the platform palette";
        return;
    }
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                  SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    askPortal();
}

ColorScheme PortalColorScheme::colorScheme() const
{
    return m_portal.value_or(m_fallback);
}

void PortalColorScheme::askPortal()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    call << kNamespace << kKey;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        if (reply.isError()) {
            qCInfo(lcPortal) << "desktop portal gave no colour scheme:" << reply.error().message()
                             << "; following the platform palette";
            return;
        }
        if (!m_settingChanged) // a change signal is newer than this answer
            applyPortalValue(reply.value().variant());
    });
}

void PortalColorScheme::onSettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value)
{
    if (nameSpace == kNamespace && key == kKey) {
        m_settingChanged = true;
        applyPortalValue(value.variant());
    }
}

void PortalColorScheme::applyPortalValue(const QVariant &value)
{
    // 1 prefers dark, 2 prefers light, 0 (no preference) and anything else leave the fallback.
    bool ok = false;
    const uint code = unwrap(value).toUInt(&ok);
    std::optional<ColorScheme> portal;
    if (ok && code == 1)
        portal = ColorScheme::Dark;
    else if (ok && code == 2)
        portal = ColorScheme::Light;
    else if (!ok || code != 0)
        qCWarning(lcPortal) << "unexpected color-scheme value from the desktop portal:" << value;
    const ColorScheme before = colorScheme();
    m_portal = portal;
    if (colorScheme() != before)
        emit colorSchemeChanged(colorScheme());
}
