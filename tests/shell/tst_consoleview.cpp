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

#include <QApplication>
#include <QDir>
#include <QTest>

class TestConsoleView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void aBurstEndsWithExactlyItsLinesAndTheTrashButtonEmptiesLogAndPage();

private:
    // The page's text as the viewer holds it, or a null string while it does not answer.
    QString pageText();

    std::unique_ptr<Logger> m_logger;
    std::unique_ptr<WindowManager> m_windowManager;
    std::unique_ptr<ConsoleView> m_console;
};

void TestConsoleView::init()
{
    m_logger = std::make_unique<Logger>();
    m_windowManager = std::make_unique<WindowManager>();
    m_logger->append(QStringLiteral("Logged before the console was shown"));
    m_console = std::make_unique<ConsoleView>(*m_logger, *m_windowManager);
    m_console->resize(700, 340);
    m_console->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
}

void TestConsoleView::cleanup()
{
    m_console.reset();
    m_windowManager.reset();
    m_logger.reset();
}

QString TestConsoleView::pageText()
{
    QString text;
    bool answered = false;
    m_console->codeMirrorViewModel().getContent(this, [&](const CodeMirrorViewModel::TextResult &result) {
        answered = true;
        if (result && *result) {
            text = **result;
        }
    });
    if (!waitUntil([&] { return answered; }, 10000)) {
        return QStringLiteral("<no answer from the page>");
    }
    return text;
}

void TestConsoleView::aBurstEndsWithExactlyItsLinesAndTheTrashButtonEmptiesLogAndPage()
{
    QStringList expected{QStringLiteral("Logged before the console was shown")};
    for (int i = 0; i < 20000; ++i) {
        expected.append(QStringLiteral("GET https://shop.example.com/api/item/%1 200").arg(i));
        m_logger->append(expected.last());
    }
    const QString joined = expected.join(QLatin1Char('\n'));
    QTRY_VERIFY_WITH_TIMEOUT(!m_console->viewModel().hasPendingPush(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(pageText(), joined, 20000);
    saveArtifact(m_console.get(), QStringLiteral("console-burst.png"));

    QTest::mouseClick(m_console->clearButton(), Qt::LeftButton);
    QVERIFY(m_logger->log().isEmpty());
    QVERIFY(!m_logger->updated());
    QTRY_COMPARE_WITH_TIMEOUT(pageText(), QString(), 10000);
}

QTEST_MAIN(TestConsoleView)
#include "tst_consoleview.moc"
