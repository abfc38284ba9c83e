// The console pane with the real editor page: a burst of log lines ends with exactly those lines
// in the page, and the trash button empties log and page.
#include "tests/support/Artifacts.h"
#include "tests/support/PageWait.h"

#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/shell/ConsoleView.h"
#include "MorvendaApp/shell/ConsoleViewModel.h"
#include "MorvendaApp/core/WindowManager.h"

#include <QTest>

class TestConsoleView : public QObject
{
    Q_OBJECT

private slots:
    void aBurstEndsWithExactlyItsLinesAndTheTrashButtonEmptiesLogAndPage()
    {
        Logger logger;
        WindowManager windowManager;
        logger.append(QStringLiteral("Logged before the console was shown"));
        ConsoleView console(logger, windowManager);
        console.resize(700, 340);
        console.show();
        QVERIFY(QTest::qWaitForWindowExposed(&console));
        // The page's text as the viewer holds it.
        const auto pageText = [&] {
            QString text;
            bool answered = false;
            console.codeMirrorViewModel().getContent(this, [&](const CodeMirrorViewModel::TextResult &result) {
                answered = true;
                if (result && *result)
                    text = **result;
            });
            return waitUntil([&] { return answered; }, 10000) ? text : QStringLiteral("<no answer from the page>");
        };

        QStringList expected{QStringLiteral("Logged before the console was shown")};
        for (int i = 0; i < 20000; ++i) {
            expected.append(QStringLiteral("GET https://shop.example.com/api/item/%1 200").arg(i));
            logger.append(expected.last());
        }
        const QString joined = expected.join(QLatin1Char('\n'));
        QTRY_VERIFY_WITH_TIMEOUT(!console.viewModel().hasPendingPush(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(pageText(), joined, 20000);
        saveArtifact(&console, QStringLiteral("console-burst.png"));

        QTest::mouseClick(console.clearButton(), Qt::LeftButton);
        QVERIFY(logger.log().isEmpty());
        QVERIFY(!logger.updated());
        QTRY_COMPARE_WITH_TIMEOUT(pageText(), QString(), 10000);
    }
};

QTEST_MAIN(TestConsoleView)
#include "tst_consoleview.moc"
