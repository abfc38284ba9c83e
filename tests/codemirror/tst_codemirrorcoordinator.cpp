// The coordinator with a scripted page: what it holds before the page is ready, in which order
// it delivers, how held calls stay bounded, and how load failures and closing end waiting calls.
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/ScriptMessageName.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A page stand-in: records each script as "function(value)" and answers when told to.
struct FakePage
{
    QStringList ran;
    QList<std::function<void(const QVariant &)>> answers;

    CodeMirrorCoordinator::ScriptRunner runner()
    {
        return [this](const QString &script, std::function<void(const QVariant &)> answer) {
            // The wrapper passes the arguments at its end: "...})(<literal>)".
            static const QRegularExpression call(QStringLiteral(R"(const r = \((.*?)\);)"));
            const QString function = call.match(script).captured(1);
            const QString argument = script.mid(script.lastIndexOf(QStringLiteral("})(")) + 3).chopped(1);
            ran << (argument.isEmpty() ? function : function + QStringLiteral(" <- ") + argument);
            answers << std::move(answer);
        };
    }
};

// What the page answers to a call that returns nothing.
const QVariant kAnswered = QVariantMap({{QStringLiteral("ok"), QVariant::fromValue(nullptr)}});

JavascriptFunction setter(QLatin1StringView function, const QVariant &value)
{
    return {QString(function), {{QStringLiteral("value"), value}}};
}

// A model and a coordinator on a scripted page; the model's failure and edit callbacks are the test's.
struct Harness
{
    explicit Harness(CodeMirrorViewModel::LoadFailed failed = {}, CodeMirrorViewModel::ContentChange edited = {})
        : model({}, std::move(failed), std::move(edited))
    {
    }
    CodeMirrorViewModel model;
    FakePage page;
    CodeMirrorCoordinator coordinator{model, page.runner()};
};

} // namespace

class TestCodeMirrorCoordinator : public QObject
{
    Q_OBJECT

private slots:
    // A console pushing its whole log on every line keeps one text in flight and one held.
    void aBurstOfTextsAfterReadyKeepsOneInFlight()
    {
        Harness h;
        auto &[model, page, coordinator] = h;
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QString log;
        for (int line = 0; line < 1000; ++line) {
            log += QStringLiteral("%1 ").arg(line);
            model.setContent(log);
            if (line == 500)
                coordinator.callJavascript(setter(PageFunction::SetDarkMode, true), {});
        }
        QCOMPARE(page.ran.size(), 1);
        QCOMPARE(coordinator.pendingCount(), 2);
        page.answers[0](kAnswered);
        QCOMPARE(page.ran.size(), 2);
        QCOMPARE(page.ran.last(), QStringLiteral("CodeMirror.setContent(value) <- \"") + log + u'"');
        // Calls behind a text in flight wait for it, then run in their order.
        model.getContent(this, [](const CodeMirrorViewModel::TextResult &) {});
        QCOMPARE(page.ran.size(), 2);
        page.answers[1](kAnswered);
        QCOMPARE(page.ran.mid(2), QStringList({QStringLiteral("CodeMirror.setDarkMode(value) <- true"), QStringLiteral("CodeMirror.getContent()")}));
        QCOMPARE(coordinator.pendingCount(), 0);
    }

    // Calls wait for the ready message and then run in order; repeated setters keep only the last
    // in place.
    void callsWaitForReadyAndRepeatedSettersKeepOnlyTheLast()
    {
        int edits = 0;
        Harness h({}, [&] { ++edits; });
        auto &[model, page, coordinator] = h;
        // An edit the page reports before its ready message still counts.
        coordinator.pageDidPost(ScriptMessageName::ContentDidChange, {});
        QCOMPARE(edits, 1);
        for (int i = 0; i < 12; ++i) {
            coordinator.callJavascript(setter(PageFunction::SetDarkMode, i % 2 == 1), {});
            coordinator.callJavascript(setter(PageFunction::SetLanguage, i == 11 ? u"css"_s : u"html"_s), {});
            model.setContent(QStringLiteral("text %1").arg(i));
        }
        QVERIFY(page.ran.isEmpty());
        QCOMPARE(coordinator.pendingCount(), 3);
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QCOMPARE(page.ran, QStringList({u"CodeMirror.setDarkMode(value) <- true"_s, u"CodeMirror.setLanguage(value) <- \"css\""_s,
                               u"CodeMirror.setContent(value) <- \"text 11\""_s}));
        QCOMPARE(coordinator.pendingCount(), 0);

        // A second ready message finds nothing to run; once the text has arrived, later calls
        // run at once.
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QCOMPARE(page.ran.size(), 3);
        page.answers[2](kAnswered);
        model.setContent(QStringLiteral("now"));
        QCOMPARE(page.ran.last(), QStringLiteral("CodeMirror.setContent(value) <- \"now\""));
    }

    // A held getContent must see the text set before it, not one set after it.
    void aWaitingCallKeepsWhatCameBeforeIt()
    {
        Harness h;
        auto &[model, page, coordinator] = h;
        model.setContent(QStringLiteral("a"));
        model.setContent(QStringLiteral("b"));
        model.getContent(this, [](const CodeMirrorViewModel::TextResult &) {});
        model.setContent(QStringLiteral("c"));
        model.setContent(QStringLiteral("d"));
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        page.answers[0](kAnswered);
        QCOMPARE(page.ran, QStringList({QStringLiteral("CodeMirror.setContent(value) <- \"b\""), QStringLiteral("CodeMirror.getContent()"),
                                        QStringLiteral("CodeMirror.setContent(value) <- \"d\"")}));
    }

    // A big body is written out on a worker; what comes after it still waits for it.
    void aBigTextKeepsItsPlaceInLine()
    {
        Harness h;
        auto &[model, page, coordinator] = h;
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        const QString big(2 * 1024 * 1024, u'"');
        model.setContent(big);
        coordinator.callJavascript(setter(PageFunction::SetReadOnly, true), {});
        QTRY_COMPARE(page.ran.size(), 1);
        QCOMPARE(page.ran[0].size(), QString(PageFunction::SetContent).size() + 4 + 2 + 2 * big.size());
        QCOMPARE(coordinator.pendingCount(), 1);
        page.answers[0](kAnswered);
        QCOMPARE(page.ran.value(1), QStringLiteral("CodeMirror.setReadOnly(value) <- true"));
    }

    // Nobody listens to the model's load and edit events here: its callers are served all the same.
    void aFailedLoadFailsWaitingCallsNowAndLaterOnes()
    {
        Harness h;
        auto &[model, page, coordinator] = h;
        QStringList results;
        const auto record = [&](const CodeMirrorViewModel::TextResult &r) {
            results << (r ? QStringLiteral("ok") : QStringLiteral("failed: ") + r.error());
        };
        model.setContent(QStringLiteral("held"));
        model.getContent(this, record);
        coordinator.pageDidPost(ScriptMessageName::ContentDidChange, {});
        coordinator.pageDidLoad(QStringLiteral("no such page"));
        QCOMPARE(results, QStringList({QStringLiteral("failed: no such page")}));
        QCOMPARE(coordinator.pendingCount(), 1); // the text stays held for a later page

        model.getContent(this, record);
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results[1], QStringLiteral("failed: no such page"));
        QVERIFY(page.ran.isEmpty());
    }

    void answersReachTheirCallerOnceAndClosingFailsTheRest()
    {
        CodeMirrorViewModel model;
        FakePage page;
        QStringList results;
        const auto record = [&](const CodeMirrorViewModel::TextResult &r) {
            // A caller told of a failure may call again at once: it must find no host by then.
            results << (r ? r->value_or(QStringLiteral("none")) : model.hasExecuteJS() ? QStringLiteral("failed, host still installed") : QStringLiteral("failed"));
        };
        {
            CodeMirrorCoordinator coordinator(model, page.runner());
            coordinator.pageDidPost(ScriptMessageName::DidReady, {});
            model.getContent(this, record);
            model.getContent(this, record);
            page.answers[0](QVariantMap({{QStringLiteral("ok"), QStringLiteral("first")}}));
            page.answers[0](QVariantMap({{QStringLiteral("ok"), QStringLiteral("again")}}));
            QCOMPARE(results, QStringList({QStringLiteral("first")}));
        }
        QCOMPARE(results, QStringList({QStringLiteral("first"), QStringLiteral("failed")}));
        // The page may still answer after the coordinator is gone.
        page.answers[1](QVariantMap({{QStringLiteral("ok"), QStringLiteral("late")}}));
        QCOMPARE(results.size(), 2);
    }

    void aStoppedPageFailsWaitingCallsAndHoldsNewOnes()
    {
        QStringList failures;
        Harness h([&](const QString &error) { failures << error; });
        auto &[model, page, coordinator] = h;
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QString result;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { result = r ? QStringLiteral("ok") : r.error(); });
        coordinator.pageDidStop(QStringLiteral("crashed"));
        QCOMPARE(result, QStringLiteral("crashed"));
        QCOMPARE(failures, QStringList({QStringLiteral("crashed")}));
        QVERIFY(!coordinator.pageLoaded());
        model.setContent(QStringLiteral("x"));
        QCOMPARE(page.ran.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCodeMirrorCoordinator)
#include "tst_codemirrorcoordinator.moc"
