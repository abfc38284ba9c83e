// The coordinator with a scripted page: what it holds before the page is ready, in which order
// it delivers, how held calls stay bounded, and how load failures and closing end waiting calls.
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/ScriptMessageName.h"

#include <QJsonValue>
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
            static const QRegularExpression call(uR"(const r = \((.*?)\);)"_s);
            const QString function = call.match(script).captured(1);
            const QString argument = script.mid(script.lastIndexOf(u"})("_s) + 3).chopped(1);
            ran << (argument.isEmpty() ? function : function + u" <- "_s + argument);
            answers << std::move(answer);
        };
    }
};

// What the page answers to a call that returns nothing.
const QVariant kAnswered = QVariantMap({{u"ok"_s, QVariant::fromValue(nullptr)}});

JavascriptFunction setter(QLatin1StringView function, const QVariant &value)
{
    return {QString(function), {{u"value"_s, value}}};
}

void pushSettings(CodeMirrorCoordinator &coordinator, bool dark, const QString &language)
{
    coordinator.callJavascript(setter(PageFunction::SetDarkMode, dark), {});
    coordinator.callJavascript(setter(PageFunction::SetLineWrapping, false), {});
    coordinator.callJavascript(setter(PageFunction::SetReadOnly, false), {});
    coordinator.callJavascript(setter(PageFunction::SetLanguage, language), {});
}

} // namespace

class TestCodeMirrorCoordinator : public QObject
{
    Q_OBJECT

private slots:
    void callsWaitForReadyAndRunInOrder()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        pushSettings(coordinator, true, u"xml"_s);
        model.setContent(u"short"_s);
        QVERIFY(page.ran.isEmpty());
        QCOMPARE(coordinator.pendingCount(), 5);

        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QCOMPARE(page.ran, QStringList({
            u"CodeMirror.setDarkMode(value) <- true"_s,
            u"CodeMirror.setLineWrapping(value) <- false"_s,
            u"CodeMirror.setReadOnly(value) <- false"_s,
            u"CodeMirror.setLanguage(value) <- \"xml\""_s,
            u"CodeMirror.setContent(value) <- \"short\""_s,
        }));
        QCOMPARE(coordinator.pendingCount(), 0);

        // A second ready message finds nothing to run; once the text has arrived, later calls
        // run at once.
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QCOMPARE(page.ran.size(), 5);
        page.answers[4](kAnswered);
        model.setContent(u"now"_s);
        QCOMPARE(page.ran.last(), u"CodeMirror.setContent(value) <- \"now\""_s);
    }

    // A console pushing its whole log on every line keeps one text in flight and one held.
    void aBurstOfTextsAfterReadyKeepsOneInFlight()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QString log;
        for (int line = 0; line < 1000; ++line) {
            log += u"%1 "_s.arg(line);
            model.setContent(log);
            if (line == 500)
                coordinator.callJavascript(setter(PageFunction::SetDarkMode, true), {});
        }
        QCOMPARE(page.ran.size(), 1);
        QCOMPARE(coordinator.pendingCount(), 2);
        page.answers[0](kAnswered);
        QCOMPARE(page.ran.size(), 2);
        QCOMPARE(page.ran.last(), u"CodeMirror.setContent(value) <- \""_s + log + u'"');
        // Calls behind a text in flight wait for it, then run in their order.
        model.getContent(this, [](const CodeMirrorViewModel::TextResult &) {});
        QCOMPARE(page.ran.size(), 2);
        page.answers[1](kAnswered);
        QCOMPARE(page.ran.mid(2), QStringList({u"CodeMirror.setDarkMode(value) <- true"_s, u"CodeMirror.getContent()"_s}));
        QCOMPARE(coordinator.pendingCount(), 0);
    }

    void repeatedSettersBeforeReadyKeepOnlyTheLastInPlace()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        for (int i = 0; i < 12; ++i) {
            pushSettings(coordinator, i % 2 == 1, i == 11 ? u"css"_s : u"html"_s);
            model.setContent(u"text %1"_s.arg(i));
        }
        QCOMPARE(coordinator.pendingCount(), 5);
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QCOMPARE(page.ran, QStringList({
            u"CodeMirror.setDarkMode(value) <- true"_s,
            u"CodeMirror.setLineWrapping(value) <- false"_s,
            u"CodeMirror.setReadOnly(value) <- false"_s,
            u"CodeMirror.setLanguage(value) <- \"css\""_s,
            u"CodeMirror.setContent(value) <- \"text 11\""_s,
        }));
    }

    // A held getContent must see the text set before it, not one set after it.
    void aWaitingCallKeepsWhatCameBeforeIt()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        model.setContent(u"a"_s);
        model.setContent(u"b"_s);
        model.getContent(this, [](const CodeMirrorViewModel::TextResult &) {});
        model.setContent(u"c"_s);
        model.setContent(u"d"_s);
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        page.answers[0](kAnswered);
        QCOMPARE(page.ran, QStringList({
            u"CodeMirror.setContent(value) <- \"b\""_s,
            u"CodeMirror.getContent()"_s,
            u"CodeMirror.setContent(value) <- \"d\""_s,
        }));
    }

    void manyGrowingTextsBeforeReadyHoldOnlyOne()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        QString log;
        for (int line = 0; line < 2000; ++line) {
            log += u"line %1\n"_s.arg(line);
            model.setContent(log);
        }
        QCOMPARE(coordinator.pendingCount(), 1);
    }

    // A big body is written out on a worker; what comes after it still waits for it.
    void aBigTextKeepsItsPlaceInLine()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        const QString big(2 * 1024 * 1024, u'"');
        model.setContent(big);
        coordinator.callJavascript(setter(PageFunction::SetReadOnly, true), {});
        QTRY_COMPARE(page.ran.size(), 1);
        QCOMPARE(page.ran[0].size(), QString(PageFunction::SetContent).size() + 4 + 2 + 2 * big.size());
        QCOMPARE(coordinator.pendingCount(), 1);
        page.answers[0](kAnswered);
        QCOMPARE(page.ran.value(1), u"CodeMirror.setReadOnly(value) <- true"_s);
    }

    void aFailedLoadFailsWaitingCallsNowAndLaterOnes()
    {
        QStringList failures;
        CodeMirrorViewModel model({}, [&](const QString &error) { failures << error; });
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        QStringList results;
        const auto record = [&](const CodeMirrorViewModel::TextResult &r) {
            results << (r ? u"ok"_s : u"failed: "_s + r.error());
        };
        model.setContent(u"held"_s);
        model.getContent(this, record);
        coordinator.pageDidLoad(u"no such page"_s);
        QCOMPARE(failures, QStringList({u"no such page"_s}));
        QCOMPARE(results, QStringList({u"failed: no such page"_s}));
        QCOMPARE(coordinator.pendingCount(), 1);

        model.getContent(this, record);
        QTRY_COMPARE(results.size(), 2);
        QCOMPARE(results[1], u"failed: no such page"_s);
        QVERIFY(page.ran.isEmpty());
    }

    void loadSuccessAndEditsReachTheModel()
    {
        int loaded = 0;
        int edits = 0;
        CodeMirrorViewModel model([&] { ++loaded; }, {}, [&] { ++edits; });
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        // An edit reported before the ready message still counts.
        coordinator.pageDidPost(ScriptMessageName::ContentDidChange, QJsonValue(u"ignored"_s));
        coordinator.pageDidLoad({});
        coordinator.pageDidPost(u"somethingElse"_s, QJsonValue(1));
        QCOMPARE(loaded, 1);
        QCOMPARE(edits, 1);
    }

    // Nobody listens to the model's load and edit events; its callers are served all the same.
    void aModelWithoutCallbacksStillServesItsCallers()
    {
        CodeMirrorViewModel model;
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        QStringList results;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { results << (r ? u"text"_s : r.error()); });
        model.setContent(u"held"_s);
        coordinator.pageDidLoad({});
        coordinator.pageDidPost(ScriptMessageName::ContentDidChange, {});
        QVERIFY(page.ran.isEmpty());
        QCOMPARE(coordinator.pendingCount(), 2);

        coordinator.pageDidLoad(u"failed"_s);
        QTRY_COMPARE(results, QStringList{u"failed"_s});
        QCOMPARE(coordinator.pendingCount(), 1); // the text stays held for a later page
        QVERIFY(page.ran.isEmpty());
    }

    void answersReachTheirCallerOnceAndClosingFailsTheRest()
    {
        CodeMirrorViewModel model;
        FakePage page;
        QStringList results;
        const auto record = [&](const CodeMirrorViewModel::TextResult &r) {
            results << (!r ? u"failed"_s : r->has_value() ? **r : u"none"_s);
        };
        {
            CodeMirrorCoordinator coordinator(model, page.runner());
            coordinator.pageDidPost(ScriptMessageName::DidReady, {});
            model.getContent(this, record);
            model.getContent(this, record);
            page.answers[0](QVariantMap({{u"ok"_s, u"first"_s}}));
            page.answers[0](QVariantMap({{u"ok"_s, u"again"_s}}));
            QCOMPARE(results, QStringList({u"first"_s}));
        }
        QCOMPARE(results, QStringList({u"first"_s, u"failed"_s}));
        QVERIFY(!model.hasExecuteJS());
        // The page may still answer after the coordinator is gone.
        page.answers[1](QVariantMap({{u"ok"_s, u"late"_s}}));
        QCOMPARE(results.size(), 2);
    }

    void aStoppedPageFailsWaitingCallsAndHoldsNewOnes()
    {
        QStringList failures;
        CodeMirrorViewModel model({}, [&](const QString &error) { failures << error; });
        FakePage page;
        CodeMirrorCoordinator coordinator(model, page.runner());
        coordinator.pageDidPost(ScriptMessageName::DidReady, {});
        QString result;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { result = r ? u"ok"_s : r.error(); });
        coordinator.pageDidStop(u"crashed"_s);
        QCOMPARE(result, u"crashed"_s);
        QCOMPARE(failures, QStringList({u"crashed"_s}));
        QVERIFY(!coordinator.pageLoaded());
        model.setContent(u"x"_s);
        QCOMPARE(page.ran.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestCodeMirrorCoordinator)
#include "tst_codemirrorcoordinator.moc"
