// The scripted app's records reach the stores exactly as built, so the panel tests that rely on
// them see what they sent.
#include "RemoteFixture.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

class tst_ScriptedApp : public QObject
{
    Q_OBJECT
private slots:
    void recordsArriveAsBuilt();
};

void tst_ScriptedApp::recordsArriveAsBuilt()
{
    RemoteFixture tool;
    ScriptedPeer &app = tool.app;
    QVERIFY(app.connectTo(tool.listener.serverPort()));
    app.handshake(QStringLiteral("Shop"));
    const QList<Setting> sent = {
        ScriptedPeer::boolSetting(QStringLiteral("checkout.v2"), Setting::BoolState::On),
        ScriptedPeer::numberSetting(QStringLiteral("cart.limit"), 12, std::numeric_limits<double>::infinity()),
        ScriptedPeer::stringSetting(QStringLiteral("banner"), QStringLiteral("Hello"), QStringLiteral("Hi ")),
    };
    const QList<Milestone> reached = {
        ScriptedPeer::milestone(QStringLiteral("orders"), std::numeric_limits<qint64>::min(), 1.5e12, 1.7e9),
        ScriptedPeer::milestone(QStringLiteral("orders"), 3),
    };
    const User shopper = ScriptedPeer::nonAdminUser(QStringLiteral("Ann"), QStringLiteral("tok-ann"));
    const QUuid id = QUuid::createUuid();
    QSignalSpy milestonePulses(&tool.milestones, &MilestoneManager::hasUpdatedMilestones);
    app.settings(sent);
    app.user(shopper);
    app.requestAt(id, QStringLiteral("https://api.example.com/v1/cart"), Method::Post, 1000.0);
    app.responseAt(id, 1000.25, 201);
    app.milestones(reached);
    QTRY_COMPARE(milestonePulses.size(), 1);

    QCOMPARE(tool.settings.settings().value(QStringLiteral("Shop")), sent);
    QCOMPARE(tool.milestones.milestone().value(QStringLiteral("Shop")), reached);
    QCOMPARE(*tool.users.users().find(QStringLiteral("Shop")), shopper);
    QVERIFY(!shopper.isAdmin());
    QVERIFY(shopper.retailer().has_value());
    QCOMPARE(tool.repository.exchangeCount(), 1);
    QCOMPARE(tool.repository.exchangeAt(0).duration(), std::optional<double>(0.25));
}

QTEST_GUILESS_MAIN(tst_ScriptedApp)
#include "tst_scriptedapp.moc"
