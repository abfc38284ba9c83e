#include "MorvendaApp/core/Alert.h"

#include <QTest>

class TestAlert : public QObject
{
    Q_OBJECT

private slots:
    void onlyTheFirstButtonRunsTheGivenClosure();
    void legacyMessageEndsWithTheContextTakenLiterally();
    void sendFailureShowsTheErrorText();
};

void TestAlert::onlyTheFirstButtonRunsTheGivenClosure()
{
    int disabled = 0;
    int impersonated = 0;
    const auto binary = Alert::ViewState::binaryDecodingAlert([&] { ++disabled; });
    const auto mismatch = Alert::ViewState::mismatchUserAlert([&] { ++impersonated; });
    for (const auto *alert : {&binary, &mismatch}) {
        QVERIFY(alert->message && !alert->message->isEmpty());
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
    QVERIFY(alert.message->size() > context.size() + 2);
    QVERIFY(alert.message->endsWith(QStringLiteral("\n\n") + context));
    QVERIFY(alert.actions.isEmpty());
}

void TestAlert::sendFailureShowsTheErrorText()
{
    const auto alert = Alert::ViewState::errorSendingMessageAlert(QStringLiteral("Connection reset by peer"));
    QCOMPARE(alert.message, std::optional<QString>(QStringLiteral("Connection reset by peer")));
    QCOMPARE(alert.actions.size(), 1);
    QVERIFY(!alert.actions.at(0).completion);
}

QTEST_GUILESS_MAIN(TestAlert)
#include "tst_alert.moc"
