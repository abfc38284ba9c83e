#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/HelpButton.h"
#include "MorvendaApp/components/SymbolButton.h"

#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QTest>
#include <QTimer>


class TestCopyHelp : public QObject
{
    Q_OBJECT

private slots:
    void copiesWhatTheOwnerComputesAtTheClick_data();
    void copiesWhatTheOwnerComputesAtTheClick();
    void helpButtonOpensTheArticlePage();
};

void TestCopyHelp::copiesWhatTheOwnerComputesAtTheClick_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("a plain value") << QStringLiteral("Bearer abc");
    QTest::addRow("the empty text") << QString();
    QTest::addRow("markup stays text") << QStringLiteral("<b>not bold</b>");
}

void TestCopyHelp::copiesWhatTheOwnerComputesAtTheClick()
{
    QFETCH(QString, text);
    auto *older = new QMimeData;
    older->setHtml(QStringLiteral("<i>older</i>"));
    QGuiApplication::clipboard()->setMimeData(older);

    QString current = QStringLiteral("not yet");
    CopyButton button([&] { return current; });
    button.show();
    auto *confirmation = button.findChild<QLabel *>(QStringLiteral("confirmation"));
    auto *timer = button.findChild<QTimer *>(QStringLiteral("confirmationTimer"));
    QVERIFY(confirmation && timer);
    QVERIFY(!confirmation->isVisible());
    // How long the confirmation stays is a constant; what matters is that it goes, and comes back.
    timer->setInterval(10);

    current = text;
    button.findChild<SymbolButton *>()->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    QVERIFY(confirmation->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!confirmation->isVisible(), 5000);
    button.copy();
    QVERIFY(confirmation->isVisible() && timer->isActive());
}

void TestCopyHelp::helpButtonOpensTheArticlePage()
{
    QList<QUrl> opened;
    int shown = 0;
    HelpButton button(Help::Metrics, {[&](const QUrl &u) { opened << u; }, [&] { ++shown; }});
    button.click();
    QCOMPARE(opened, QList<QUrl>{helpUrl(Help::Metrics).value()});
    QCOMPARE(shown, 0);
}

QTEST_MAIN(TestCopyHelp)
#include "tst_copyhelp.moc"
