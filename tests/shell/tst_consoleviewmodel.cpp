// The console's view model against the real log, with a recording stand-in for the editor page:
// what text the viewer is given, how often, and that no line is lost or doubled.
#include "CodeMirror/CodeMirrorViewModel.h"
#include "MorvendaApp/session/Logger.h"
#include "MorvendaApp/shell/ConsoleViewModel.h"

#include <QSignalSpy>
#include <QTest>

class TestConsoleViewModel : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_logger = std::make_unique<Logger>();
        m_codeMirror = std::make_unique<CodeMirrorViewModel>();
        m_host = std::make_unique<QObject>();
        m_texts.clear();
        m_codeMirror->installExecuteJS(m_host.get(),
            [this](const JavascriptFunction &function, const CodeMirrorViewModel::ResultCallback &) {
                if (function.functionString == PageFunction::SetContent) {
                    m_texts.append(function.args.value(QStringLiteral("value")).toString());
                }
            });
        m_console = std::make_unique<ConsoleViewModel>();
    }

    void cleanup()
    {
        m_console.reset();
        m_host.reset();
        m_codeMirror.reset();
        m_logger.reset();
    }

    // Lines logged before setup are shown at once and never twice, one line feed between lines and
    // none at the end (a line feed inside a line would split it), and a burst in a few pushes.
    void everyLineIsShownOnceJoinedWithSingleLineFeeds()
    {
        m_logger->append(QStringLiteral("first"));
        m_logger->error(QStringLiteral("broken"));
        m_console->setup(*m_logger, *m_codeMirror);
        QCOMPARE(m_texts, QStringList{QStringLiteral("first\n<ERROR: broken>")});

        m_console->setup(*m_logger, *m_codeMirror);
        const qsizetype textsBefore = m_texts.size();
        QStringList expected{QStringLiteral("first"), QStringLiteral("<ERROR: broken>"), QStringLiteral("x y")};
        m_logger->append(QStringLiteral("x\ny"));
        for (int i = 0; i < 20000; ++i) {
            expected.append(QStringLiteral("line %1").arg(i));
            m_logger->append(expected.last());
        }
        QTRY_VERIFY(!m_console->hasPendingPush());
        QCOMPARE(shownText(), expected.join(QLatin1Char('\n')));
        // One text for the burst's first line, one with the rest after the interval.
        QVERIFY2(m_texts.size() - textsBefore <= 3, qPrintable(QString::number(m_texts.size())));
    }

    void aFullLogIsRefreshedLessOftenAndShownFromItsDroppedLinesNoticeToItsNewestLine()
    {
        QCOMPARE(ConsoleViewModel::pushIntervalFor(999'999), ConsoleViewModel::minPushIntervalMs);
        QCOMPARE(ConsoleViewModel::pushIntervalFor(40'000'000), 4100);
        QCOMPARE(ConsoleViewModel::pushIntervalFor(qsizetype(1) << 40), 60'000);

        m_console->setup(*m_logger, *m_codeMirror);
        QVERIFY(m_codeMirror->followsEnd()); // opens at the newest line, and stays there while trimmed
        // Lines as long as the log keeps them, more than it keeps.
        const QString line(Logger::maxLineLength, u'x');
        for (int i = 0; i < 400; ++i)
            m_logger->append(line);
        QVERIFY(m_console->currentPushIntervalMs() == ConsoleViewModel::minPushIntervalMs);
        QTRY_VERIFY(!m_console->hasPendingPush());
        // The last push carried the whole log of millions of characters, so the next one waits longer.
        QCOMPARE(m_console->currentPushIntervalMs(), ConsoleViewModel::pushIntervalFor(shownText().size()));
        QVERIFY(shownText().size() > 3'000'000);
        m_logger->append(QStringLiteral("newest"));
        QVERIFY(m_console->hasPendingPush());
        QTRY_VERIFY_WITH_TIMEOUT(!m_console->hasPendingPush(), 5000);
        QVERIFY(shownText().startsWith(QStringLiteral("… %1 earlier lines were dropped").arg(m_logger->droppedLines())));
        QVERIFY(shownText().endsWith(QStringLiteral("\nnewest")));
        QCOMPARE(shownText(), m_logger->log().join(QLatin1Char('\n')));
    }

private:
    // The last text handed to the page.
    QString shownText() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }

    std::unique_ptr<Logger> m_logger;
    std::unique_ptr<CodeMirrorViewModel> m_codeMirror;
    std::unique_ptr<QObject> m_host;
    std::unique_ptr<ConsoleViewModel> m_console;
    QStringList m_texts;
};

QTEST_GUILESS_MAIN(TestConsoleViewModel)
#include "tst_consoleviewmodel.moc"
