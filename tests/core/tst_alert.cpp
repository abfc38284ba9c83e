#include "MorvendaApp/core/Alert.h"

#include <QTest>

class TestAlert : public QObject
{
    Q_OBJECT

private slots:
    void factoriesBuildTitlesAndButtonsInOrder_data();
    void factoriesBuildTitlesAndButtonsInOrder();
    void onlyTheFirstButtonRunsTheGivenClosure();
    void legacyMessageEndsWithTheContextTakenLiterally();
    void sendFailureShowsTheErrorText();
};

void TestAlert::factoriesBuildTitlesAndButtonsInOrder_data()
{
    QTest::addColumn<Alert::ViewState>("alert");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("buttons");

    QTest::addRow("binary decoding offers disable, then cancel")
        << Alert::ViewState::binaryDecodingAlert([] {}) << QStringLiteral("Binary encoding is enabled")
        << QStringList{QStringLiteral("Disable binary encoding setting"), QStringLiteral("Cancel")};
    QTest::addRow("legacy protocol has no buttons of its own")
        << Alert::ViewState::legacyCommunicationAlert(QStringLiteral("ctx"))
        << QStringLiteral("Legacy communication protocol") << QStringList{};
    QTest::addRow("send failure has one Ok button")
        << Alert::ViewState::errorSendingMessageAlert(QStringLiteral("Broken pipe"))
        << QStringLiteral("Error sending message to peer") << QStringList{QStringLiteral("Ok")};
    QTest::addRow("user mismatch offers continue, then cancel")
        << Alert::ViewState::mismatchUserAlert([] {}) << QStringLiteral("Are you sure you want to do this?")
        << QStringList{QStringLiteral("Continue with impersonation"), QStringLiteral("Cancel")};
}

void TestAlert::factoriesBuildTitlesAndButtonsInOrder()
{
    QFETCH(Alert::ViewState, alert);
    QFETCH(QString, title);
    QFETCH(QStringList, buttons);

    QCOMPARE(alert.title, title);
    QVERIFY(alert.message.has_value());
    QVERIFY(!alert.message->isEmpty());
    QStringList titles;
    for (const Alert::Action &action : alert.actions)
        titles.append(action.title);
    QCOMPARE(titles, buttons);
}

void TestAlert::onlyTheFirstButtonRunsTheGivenClosure()
{
    int disabled = 0;
    int impersonated = 0;
    const auto binary = Alert::ViewState::binaryDecodingAlert([&] { ++disabled; });
    const auto mismatch = Alert::ViewState::mismatchUserAlert([&] { ++impersonated; });
    for (const auto *alert : {&binary, &mismatch}) {
        QCOMPARE(alert->actions.size(), 2);
        QVERIFY(alert->actions.at(0).completion);
        QVERIFY2(!alert->actions.at(1).completion, "Cancel only dismisses");
        alert->actions.at(0).completion();
    }
    QCOMPARE(disabled, 1);
    QCOMPARE(impersonated, 1);
}

void TestAlert::legacyMessageEndsWithTheContextTakenLiterally()
{
    const QString context = QStringLiteral("typeMismatch at [request, id]: 100% %@ wrong");
    const auto alert = Alert::ViewState::legacyCommunicationAlert(context);
    QVERIFY(alert.message->startsWith(
        QStringLiteral("It seems you are trying to connect an application that supports a legacy")));
    QVERIFY(alert.message->contains(QStringLiteral("continue using Morvenda.\n\n")));
    QVERIFY(alert.message->endsWith(QStringLiteral("\n\n") + context));
    QVERIFY(alert.actions.isEmpty());
}

void TestAlert::sendFailureShowsTheErrorText()
{
    const auto alert = Alert::ViewState::errorSendingMessageAlert(QStringLiteral("Connection reset by peer"));
    QCOMPARE(alert.message, std::optional<QString>(QStringLiteral("Connection reset by peer")));
    QVERIFY(!alert.actions.at(0).completion);
}

QTEST_GUILESS_MAIN(TestAlert)
#include "tst_alert.moc"
