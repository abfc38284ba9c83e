#include "MorvendaApp/shell/PortalColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// The desktop portal's Settings interface, reduced to the one value the tool reads.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    QVariant colorScheme = QVariant::fromValue(uint(0));

public slots:
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        if (nameSpace != QLatin1StringView("org.freedesktop.appearance") || key != QLatin1StringView("color-scheme"))
            return {};
        // The portal wraps the value in a second variant.
        return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme)));
    }

signals:
    void SettingChanged(const QString &nameSpace, const QString &key, const QDBusVariant &value);
};

namespace {

// The portal is asked once, asynchronously; its answer has been handled when no call is pending.
bool portalAnswered(const PortalColorScheme &scheme)
{
    return scheme.findChildren<QDBusPendingCallWatcher *>().isEmpty();
}

} // namespace

class TestPortalColorScheme : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        QVERIFY(m_daemon.waitForStarted());
        QTRY_VERIFY(m_daemon.canReadLine());
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase()
    {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    void init()
    {
        m_portal.colorScheme = QVariant::fromValue(uint(0));
        QDBusConnection::connectToBus(m_address, QStringLiteral("client"));
        QDBusConnection portal = QDBusConnection::connectToBus(m_address, QStringLiteral("portal"));
        QVERIFY(portal.isConnected());
        QVERIFY(portal.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &m_portal,
                                      QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    }

    void cleanup()
    {
        portalBus().unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
        portalBus().unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
    }

    void startsFromThePortalAnswer_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<ColorScheme>("fallback");
        QTest::addColumn<ColorScheme>("expected");

        QTest::addRow("prefer dark gives dark") << QVariant::fromValue(uint(1)) << ColorScheme::Light << ColorScheme::Dark;
        QTest::addRow("prefer light gives light") << QVariant::fromValue(uint(2)) << ColorScheme::Dark << ColorScheme::Light;
        QTest::addRow("no preference keeps the palette's scheme")
            << QVariant::fromValue(uint(0)) << ColorScheme::Dark << ColorScheme::Dark;
        QTest::addRow("an unknown code keeps the palette's scheme")
            << QVariant::fromValue(uint(7)) << ColorScheme::Light << ColorScheme::Light;
        QTest::addRow("a text keeps the palette's scheme")
            << QVariant(QStringLiteral("dark")) << ColorScheme::Light << ColorScheme::Light;
    }

    void startsFromThePortalAnswer()
    {
        QFETCH(QVariant, answer);
        QFETCH(ColorScheme, fallback);
        QFETCH(ColorScheme, expected);

        m_portal.colorScheme = answer;
        QVERIFY(portalBus().registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        if (expected == fallback && answer != QVariant::fromValue(uint(0)))
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unexpected color-scheme value")));

        PortalColorScheme scheme(fallback, clientBus());
        QSignalSpy changed(&scheme, &SystemColorScheme::colorSchemeChanged);
        QCOMPARE(scheme.colorScheme(), fallback); // never waits for the portal
        QTRY_VERIFY(portalAnswered(scheme));
        QCOMPARE(changed.size(), expected == fallback ? 0 : 1);
        QCOMPARE(scheme.colorScheme(), expected);
    }

    void followsChangesOfTheSetting()
    {
        QVERIFY(portalBus().registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        PortalColorScheme scheme(ColorScheme::Light, clientBus());
        QSignalSpy changed(&scheme, &SystemColorScheme::colorSchemeChanged);

        publish(QVariant::fromValue(uint(1)));
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(changed.last().first().value<ColorScheme>(), ColorScheme::Dark);

        publish(QVariant::fromValue(uint(2)), QStringLiteral("org.gnome.desktop.interface"));
        publish(QVariant::fromValue(uint(0)));
        QTRY_COMPARE(changed.size(), 2);
        QCOMPARE(scheme.colorScheme(), ColorScheme::Light);
    }

    void withoutPortalOrBusTheFallbackStands()
    {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("desktop portal gave no colour scheme")));
        PortalColorScheme scheme(ColorScheme::Dark, clientBus());
        QTRY_VERIFY(portalAnswered(scheme));
        QCOMPARE(scheme.colorScheme(), ColorScheme::Dark);

        const QDBusConnection none = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
        QVERIFY(!none.isConnected());
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(QStringLiteral("no session bus")));
        PortalColorScheme unbound(ColorScheme::Dark, none);
        QCOMPARE(unbound.colorScheme(), ColorScheme::Dark);
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

private:
    QDBusConnection portalBus() const { return QDBusConnection(QStringLiteral("portal")); }
    QDBusConnection clientBus() const { return QDBusConnection(QStringLiteral("client")); }

    void publish(const QVariant &value, const QString &nameSpace = QStringLiteral("org.freedesktop.appearance"))
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << nameSpace << QStringLiteral("color-scheme") << QVariant::fromValue(QDBusVariant(value));
        QVERIFY(portalBus().send(signal));
    }

    QProcess m_daemon;
    QString m_address;
    FakePortal m_portal;
};

QTEST_GUILESS_MAIN(TestPortalColorScheme)
#include "tst_portalcolorscheme.moc"
