#include "MorvendaApp/core/Alert.h"

#include <QTest>

class TestAlert : public QObject
{
    Q_OBJECT

private slots:
    void legacyMessageEndsWithTheContextTakenLiterally();
};

void TestAlert::legacyMessageEndsWithTheContextTakenLiterally()
{
    const QString context = QStringLiteral("typeMismatch at [request, id]: 100% %@ wrong");
    const auto alert = Alert::ViewState::legacyCommunicationAlert(context);
    QVERIFY(alert.message->size() > context.size() + 2);
    QVERIFY(alert.message->endsWith(QStringLiteral("\n\n") + context));
    QVERIFY(alert.actions.isEmpty());
}

QTEST_GUILESS_MAIN(TestAlert)
#include "tst_alert.moc"
