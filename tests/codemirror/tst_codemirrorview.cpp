// The code viewer with the real editor page in an offscreen web view, one check for each thing
// the developer sees in it. What the coordinator holds and in which order is left to its own test.
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/CodeMirrorPage.h"
#include "CodeMirror/CodeMirrorView.h"
#include "CodeMirror/CodeMirrorViewModel.h"
#include "tests/support/PageWait.h"
#include "tests/support/Pixels.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <QWheelEvent>

namespace {

constexpr int kPageTimeout = 20000;

// getContent's and executeJSAsync's outcome as "text:<t>", "none" or "error:<e>".
QString outcome(const CodeMirrorViewModel::TextResult &result)
{
    if (!result)
        return QStringLiteral("error:") + result.error();
    return result->has_value() ? QStringLiteral("text:") + **result : QStringLiteral("none");
}

// Runs one expression through the model and waits for its answer.
QString evaluate(CodeMirrorViewModel &model, const QString &expression, const QVariantMap &args = {})
{
    QString got;
    bool done = false;
    QObject context;
    model.executeJSAsync({expression, args}, &context, [&](const CodeMirrorViewModel::TextResult &r) {
        got = outcome(r);
        done = true;
    });
    if (!waitUntil([&] { return done; }))
        return QStringLiteral("timeout");
    return got;
}

QString content(CodeMirrorViewModel &model)
{
    return evaluate(model, QStringLiteral("CodeMirror.getContent()"));
}

// What the editor really runs with, read back from its state.
QJsonObject describe(CodeMirrorViewModel &model)
{
    const QString answer = evaluate(model, QStringLiteral("JSON.stringify(CodeMirror.describe())"));
    return QJsonDocument::fromJson(answer.mid(5).toUtf8()).object();
}

// How far the editor is scrolled from the end of its text, in pixels.
double gapToEnd(CodeMirrorViewModel &model)
{
    return evaluate(model, QStringLiteral("(() => { const s = document.querySelector('.cm-scroller');"
                                          " return String(s.scrollHeight - s.clientHeight - s.scrollTop); })()"))
        .mid(5)
        .toDouble();
}

// Sets the text and waits until the editor holds all of it.
bool showText(CodeMirrorViewModel &model, const QString &text)
{
    model.setContent(text);
    return waitUntil([&] { return describe(model).value(QStringLiteral("length")).toInt() == text.size(); });
}

// What the window shows on its screen now. Unlike grab(), which paints the widgets afresh, this
// sees a page that was never painted.
QImage onScreen(QWidget &window)
{
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The share of pixels in the dark theme's background colour.
double darkBackgroundShare(const QImage &image)
{
    if (image.isNull())
        return 0;
    return double(pixelsNear(image, QColor(0x28, 0x2c, 0x34), 3)) / (double(image.width()) * image.height());
}

} // namespace

class TestCodeMirrorView : public QObject
{
    Q_OBJECT

private:
    // One viewer shared by the tests that only need a ready page.
    CodeMirrorViewModel m_model;
    std::unique_ptr<CodeMirrorView> m_view;

    bool waitReady(CodeMirrorView &view)
    {
        return waitUntil([&] { return view.coordinator().pageLoaded(); });
    }

private slots:
    void initTestCase()
    {
        m_view = std::make_unique<CodeMirrorView>(m_model);
        m_view->resize(640, 360);
        m_view->show();
        QVERIFY(waitReady(*m_view));
    }

    void cleanupTestCase() { m_view.reset(); }

    void textsRoundTripExactlyAndNeverRun_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("lineBreak");
        QTest::addRow("the empty text") << QString() << QStringLiteral("\n");
        QTest::addRow("quotes that end the literal") << QStringLiteral("\"); window.injected = 1; (\"") << QStringLiteral("\n");
        QTest::addRow("backslashes") << QStringLiteral("C:\\path\\\" \\u0041 \\\\") << QStringLiteral("\n");
        QTest::addRow("a closing script tag")
            << QStringLiteral("</script><script>window.injected = 1</script><img src=x onerror=\"window.injected=1\">") << QStringLiteral("\n");
        QTest::addRow("template syntax") << QStringLiteral("${window.injected = 1}") << QStringLiteral("\n");
        QTest::addRow("backticks") << QStringLiteral("`; window.injected = 1; `") << QStringLiteral("\n");
        QTest::addRow("a line separator") << QString::fromUtf16(u"\"\u2028window.injected = 1;\u2029\"") << QStringLiteral("\n");
        QTest::addRow("a NUL character") << QString::fromUtf16(u"a\0b", 3) << QStringLiteral("\n");
        QTest::addRow("CRLF line ends") << QStringLiteral("{\r\n  \"a\": 1\r\n}\r\n") << QStringLiteral("\r\n");
        QTest::addRow("CR line ends") << QStringLiteral("a\rb\r") << QStringLiteral("\r");
        QTest::addRow("mixed line ends") << QStringLiteral("a\r\nb\nc\rd") << QStringLiteral("\n");
        QTest::addRow("text outside the basic plane") << QString::fromUtf16(u"\U0001F600 ünï") << QStringLiteral("\n");
        QTest::addRow("10 MB of JSON")
            << QStringLiteral("{\"id\": 1, \"name\": \"item \\\"1\\\"\", \"tags\": [\"b\\\\c\"]},\r\n").repeated(202000)
            << QStringLiteral("\r\n");
    }
    void textsRoundTripExactlyAndNeverRun()
    {
        QFETCH(QString, text);
        QFETCH(QString, lineBreak);
        m_model.setContent(text);
        const QString back = content(m_model);
        QCOMPARE(back.size(), text.size() + 5);
        QVERIFY2(back == QStringLiteral("text:") + text, "the text came back changed");
        QCOMPARE(describe(m_model)[QStringLiteral("lineBreak")].toString(), lineBreak);
        QCOMPARE(evaluate(m_model, QStringLiteral("typeof window.injected")), QStringLiteral("text:undefined"));
    }

    // What the page answers: an error with the page's reason, and no value for what is no text.
    void pageAnswersAreTextNoneOrError_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QVariantMap>("args");
        QTest::addColumn<QString>("expected"); // how the outcome starts
        const auto value = [](const QString &v) { return QVariantMap({{QStringLiteral("value"), v}}); };
        QTest::addRow("a thrown error") << QStringLiteral("(() => { throw new Error('boom'); })()") << QVariantMap() << QStringLiteral("error:boom");
        QTest::addRow("an unknown language")
            << QStringLiteral("CodeMirror.setLanguage(value)") << value(QStringLiteral("cobol")) << QStringLiteral("error:setLanguage: unknown language");
        QTest::addRow("a wrong argument type")
            << QStringLiteral("CodeMirror.setDarkMode(value)") << value(QStringLiteral("yes")) << QStringLiteral("error:setDarkMode expects a boolean");
        QTest::addRow("a number") << QStringLiteral("CodeMirror.getContent().length") << QVariantMap() << QStringLiteral("none");
        QTest::addRow("nothing") << QStringLiteral("undefined") << QVariantMap() << QStringLiteral("none");
        QTest::addRow("a page object") << QStringLiteral("document.body") << QVariantMap() << QStringLiteral("none");
        QTest::addRow("a function") << QStringLiteral("CodeMirror.getContent") << QVariantMap() << QStringLiteral("none");
    }
    void pageAnswersAreTextNoneOrError()
    {
        QFETCH(QString, expression);
        QFETCH(QVariantMap, args);
        QFETCH(QString, expected);
        const QString got = evaluate(m_model, expression, args);
        QVERIFY2(got.startsWith(expected), qPrintable(got));
    }

    // Every language the viewer offers is one the page knows (the theme is checked on screen).
    void everyLanguageTakesEffect()
    {
        m_model.setContent(QStringLiteral("{\"a\": [1, \"<b>\"]}"));
        for (Language language : kAllLanguages) {
            m_model.setLanguage(language);
            QCOMPARE(describe(m_model)[QStringLiteral("language")].toString(), rawValue(language));
        }
    }

    // Viewers made while the dark scheme is on, each in a window of its own as a console pane
    // is: every one shows its dark page and the text given before it was ready on screen, without
    // a resize or a repaint.
    void aViewerMadeInDarkModeShowsItsPageOnScreen()
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            int loaded = 0;
            CodeMirrorViewModel model([&] { ++loaded; });
            model.setDarkMode(true);
            model.setLineWrapping(true);
            model.setReadOnly(true);
            model.setLanguage(Language::Xml);
            QWidget window;
            auto *layout = new QVBoxLayout(&window);
            layout->setContentsMargins(0, 0, 0, 0);
            auto *view = new CodeMirrorView(model);
            layout->addWidget(view);
            window.resize(400, 200);
            window.show();
            model.setContent(QStringLiteral("{\n  \"attempt\": %1\n}").arg(attempt));
            QVERIFY(waitReady(*view));
            QVERIFY(waitUntil([&] { return content(model) == QStringLiteral("text:{\n  \"attempt\": %1\n}").arg(attempt); }));
            QImage screen;
            const bool shown = waitUntil([&] {
                screen = onScreen(window);
                return darkBackgroundShare(screen) > 0.5;
            });
            if (!shown)
                screen.save(qEnvironmentVariable("MORVENDA_ARTIFACTS", QDir::tempPath()) + QStringLiteral("/codemirror-dark-blank.png"));
            QVERIFY2(shown, qPrintable(QStringLiteral("attempt %1: %2 of the screen is the dark background").arg(attempt).arg(darkBackgroundShare(screen))));
            if (attempt > 0)
                continue;
            // Settings and text given before the page was ready all arrived.
            QTRY_COMPARE(loaded, 1);
            const QJsonObject state = describe(model);
            QCOMPARE(state[QStringLiteral("lineWrapping")].toBool(), true);
            QCOMPARE(state[QStringLiteral("readOnly")].toBool(), true);
            QCOMPARE(state[QStringLiteral("language")].toString(), QStringLiteral("xml"));
            // The scheme changes while the viewer is on screen, and the screen follows.
            model.setDarkMode(false);
            QVERIFY(waitUntil([&] { return darkBackgroundShare(onScreen(window)) < 0.05; }));
            model.setDarkMode(true);
            QVERIFY(waitUntil([&] { return darkBackgroundShare(onScreen(window)) > 0.5; }));
        }
    }

    // The console pushes its whole log for every new line. A reader following the end of a log
    // of long wrapped lines must stay at the end, not land wherever the heights were guessed.
    void aGrowingTextReadAtItsEndStaysAtItsEnd()
    {
        m_model.setLineWrapping(true);
        m_model.setFollowsEnd(true);
        QString log;
        for (int i = 0; i < 300; ++i)
            log += QStringLiteral("line %1 ").arg(i) + QString(i % 3 == 0 ? 900 : 40, u'y') + QStringLiteral("\n");
        QVERIFY(showText(m_model, log));
        // Scrolled down in steps, as a reader does, until the measured end is reached.
        QVERIFY(waitUntil([&] {
            evaluate(m_model, QStringLiteral("(() => { const s = document.querySelector('.cm-scroller');"
                                             " s.scrollTop = s.scrollHeight; return ''; })()"));
            return gapToEnd(m_model) < 8;
        }));
        for (int more = 0; more < 3; ++more) {
            log += QStringLiteral("appended %1 ").arg(more) + QString(900, u'z') + QStringLiteral("\n");
            QVERIFY(showText(m_model, log));
            QTest::qWait(50); // a few frames for the editor to measure what it shows
            QVERIFY2(gapToEnd(m_model) < 8, qPrintable(QString::number(gapToEnd(m_model))));
        }
        // A reader at the top stays there.
        const QString top = QStringLiteral("String(document.querySelector('.cm-scroller').scrollTop)");
        evaluate(m_model, QStringLiteral("String(document.querySelector('.cm-scroller').scrollTop = 0)"));
        log += QStringLiteral("one more\n");
        QVERIFY(showText(m_model, log));
        QTest::qWait(50);
        QCOMPARE(evaluate(m_model, top), QStringLiteral("text:0"));
        m_model.setFollowsEnd(false);
        m_model.setLineWrapping(false);
    }

    // A viewer that is no log (a body) shows every new text from its top, wherever the reader
    // left the one before: a continuation of it, a longer or a shorter text alike.
    void aNewTextStartsAtItsTop_data()
    {
        QTest::addColumn<double>("readTo");
        QTest::addColumn<int>("nextLines");
        QTest::addColumn<bool>("continuation");
        QTest::addRow("read to the end, then a text ten times as long") << 1.0 << 20000 << false;
        QTest::addRow("read to the middle, then a shorter text") << 0.5 << 600 << false;
        QTest::addRow("read to the end, then the same text grown") << 1.0 << 4000 << true;
    }

    void aNewTextStartsAtItsTop()
    {
        QFETCH(double, readTo);
        QFETCH(int, nextLines);
        QFETCH(bool, continuation);
        const auto lines = [](const QString &word, int count) {
            QString text;
            for (int i = 0; i < count; ++i)
                text += QStringLiteral("{\"%1\": %2},\n").arg(word).arg(i);
            return text;
        };
        const QString first = lines(QStringLiteral("first"), 2000);
        QVERIFY(showText(m_model, first));
        const QString scrollTop = QStringLiteral("String(document.querySelector('.cm-scroller').scrollTop)");
        evaluate(m_model, QStringLiteral("(() => { const s = document.querySelector('.cm-scroller');"
                                         " s.scrollTop = (s.scrollHeight - s.clientHeight) * %1; return ''; })()")
                              .arg(readTo));
        QVERIFY(evaluate(m_model, scrollTop).mid(5).toDouble() > 1000);

        QVERIFY(showText(m_model, continuation ? first + lines(QStringLiteral("more"), nextLines - 2000)
                                               : lines(QStringLiteral("next"), nextLines)));
        QTest::qWait(50); // a few frames for the editor to measure what it shows
        QCOMPARE(evaluate(m_model, scrollTop), QStringLiteral("text:0"));
        QVERIFY(showText(m_model, QString()));
    }

    // The console's log drops its oldest lines once it is full, so its next text no longer
    // starts with the last one: a log's viewer still opens, and stays, at the newest line.
    void aFollowedLogOpensAtItsEndAndStaysThereWhenTrimmed()
    {
        m_model.setFollowsEnd(true);
        QStringList lines;
        for (int i = 0; i < 400; ++i)
            lines.append(QStringLiteral("line %1").arg(i));
        QVERIFY(showText(m_model, QString()));
        QVERIFY(showText(m_model, lines.join(u'\n')));
        QVERIFY(waitUntil([&] { return gapToEnd(m_model) < 8; }));
        for (int round = 0; round < 3; ++round) {
            lines = lines.mid(50);
            lines.prepend(QStringLiteral("… %1 earlier lines were dropped").arg(50 * (round + 1)));
            lines.append(QStringLiteral("newest %1").arg(round));
            QVERIFY(showText(m_model, lines.join(u'\n')));
            QTest::qWait(50); // a few frames for the editor to measure what it shows
            QVERIFY2(gapToEnd(m_model) < 8, qPrintable(QString::number(gapToEnd(m_model))));
        }
        m_model.setFollowsEnd(false);
        QVERIFY(showText(m_model, QString()));
    }

    // Once loaded, the page may neither go elsewhere nor fetch anything, not even its own files.
    void thePageCannotNavigateOrFetch()
    {
        auto *page = qobject_cast<CodeMirrorPage *>(m_view->webView()->page());
        QVERIFY(page);
        QSignalSpy refused(page, &CodeMirrorPage::refused);
        evaluate(m_model, QStringLiteral("(location.href = 'qrc:/codemirror/build/page.css', 'asked')"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, kPageTimeout);
        QCOMPARE(page->url(), page->pageUrl());

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(QStringLiteral("Refused to connect")));
        const QString got = evaluate(m_model, QStringLiteral("(() => { const x = new XMLHttpRequest();"
                                               " try { x.open('GET', 'qrc:/codemirror/build/page.css', false); x.send();"
                                               " return 'fetched ' + x.status; } catch (e) { return 'refused'; } })()"));
        QCOMPARE(got, QStringLiteral("text:refused"));
    }

    void controlWheelDoesNotMagnify()
    {
        QWidget *surface = m_view->webView()->focusProxy();
        QVERIFY(surface);
        const QString before = evaluate(m_model, QStringLiteral("String(window.devicePixelRatio)"));
        const QPointF at(50, 50);
        for (int i = 0; i < 3; ++i) {
            QWheelEvent wheel(at, surface->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                Qt::ControlModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(surface, &wheel);
        }
        // Nothing to wait for when it works: give a zoom the time it takes to reach the page
        // (it shows within this time when the filter is off).
        QTest::qWait(300);
        QCOMPARE(evaluate(m_model, QStringLiteral("String(window.devicePixelRatio)")), before);
        QCOMPARE(m_view->webView()->page()->zoomFactor(), 1.0);
    }

    void aMissingPageReportsFailureAndShowsNothing()
    {
        QStringList failures;
        int loaded = 0;
        CodeMirrorViewModel model([&] { ++loaded; }, [&](const QString &error) { failures << error; });
        CodeMirrorView view(model, QUrl(QStringLiteral("qrc:/codemirror/build/missing.html")));
        model.setContent(QStringLiteral("never shown"));
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, kPageTimeout);
        QVERIFY2(failures[0].contains(QStringLiteral("missing.html")), qPrintable(failures[0]));
        QCOMPARE(loaded, 0);
        QVERIFY(content(model).startsWith(QStringLiteral("error:")));
        QString shown = QStringLiteral("?");
        view.webView()->page()->toPlainText([&](const QString &text) { shown = text; });
        QTRY_VERIFY(shown != QStringLiteral("?"));
        QCOMPARE(shown, QString());
    }
};

QTEST_MAIN(TestCodeMirrorView)
#include "tst_codemirrorview.moc"
