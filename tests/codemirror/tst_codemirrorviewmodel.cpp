// The view model without a page: languages, published settings, the calls it hands to its host,
// how answers are read, and what happens with no host or a host that is gone.
#include "CodeMirror/CodeMirrorBundle.h"
#include "CodeMirror/CodeMirrorViewModel.h"
#include "CodeMirror/ScriptSource.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CodeMirrorViewModel::JavascriptResult)

namespace {

// A host stand-in that records every call and answers result callbacks with a fixed result.
struct FakeHost
{
    QObject owner;
    QList<JavascriptFunction> calls;
    CodeMirrorViewModel::JavascriptResult answer = QVariant();

    void install(CodeMirrorViewModel &model)
    {
        model.installExecuteJS(&owner, [this](const JavascriptFunction &f, CodeMirrorViewModel::ResultCallback result) {
            calls.append(f);
            if (result)
                result(answer);
        });
    }
};

// getContent's outcome as "text:<t>", "none" or "error:<e>"; empty until it arrives.
QString outcome(const CodeMirrorViewModel::TextResult &result)
{
    if (!result)
        return u"error:"_s + result.error();
    return result->has_value() ? u"text:"_s + **result : u"none"_s;
}

} // namespace

class TestCodeMirrorViewModel : public QObject
{
    Q_OBJECT

private slots:
    // The start-up check passes only when the page really is compiled into a program that links
    // the library.
    void theEditorPageIsCompiledIn()
    {
        QVERIFY(CodeMirrorBundle::check().has_value());
        QCOMPARE(CodeMirrorBundle::pageUrl().scheme(), u"qrc"_s);
        QFile page(u":"_s + CodeMirrorBundle::pageUrl().path());
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.contains("Content-Security-Policy"));
        QVERIFY(html.contains("editor.js"));
    }

    void everyAssignmentNotifiesAfterStoring()
    {
        CodeMirrorViewModel model;
        QStringList seen;
        connect(&model, &CodeMirrorViewModel::darkModeChanged, this, [&](bool on) {
            seen << u"dark %1 stored %2"_s.arg(on).arg(model.darkMode() == on);
        });
        connect(&model, &CodeMirrorViewModel::languageChanged, this, [&](Language language) {
            seen << u"language %1 stored %2"_s.arg(rawValue(language)).arg(model.language() == language);
        });
        model.setDarkMode(false);
        model.setDarkMode(true);
        model.setLanguage(Language::Json);
        model.setLanguage(Language::Xml);
        QCOMPARE(seen, QStringList({u"dark 0 stored 1"_s, u"dark 1 stored 1"_s, u"language json stored 1"_s,
                           u"language xml stored 1"_s}));
    }

    void setContentHandsTheTextAsTheValueArgument_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("the empty text") << QString();
        QTest::addRow("a body with quotes") << u"{\"a\": \"b\"}"_s;
    }
    void setContentHandsTheTextAsTheValueArgument()
    {
        QFETCH(QString, text);
        CodeMirrorViewModel model;
        FakeHost host;
        host.install(model);
        model.setContent(text);
        QCOMPARE(host.calls.size(), 1);
        QCOMPARE(host.calls[0].functionString, u"CodeMirror.setContent(value)"_s);
        QCOMPARE(host.calls[0].args, QVariantMap({{u"value"_s, text}}));
    }

    void getContentReadsTheAnswer_data()
    {
        QTest::addColumn<CodeMirrorViewModel::JavascriptResult>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addRow("a text is the content") << CodeMirrorViewModel::JavascriptResult(QVariant(u"x"_s)) << u"text:x"_s;
        QTest::addRow("the empty text is still a text")
            << CodeMirrorViewModel::JavascriptResult(QVariant(QString(u""_s))) << u"text:"_s;
        QTest::addRow("a number is no value") << CodeMirrorViewModel::JavascriptResult(QVariant(5.0)) << u"none"_s;
        QTest::addRow("nothing returned is no value") << CodeMirrorViewModel::JavascriptResult(QVariant()) << u"none"_s;
        QTest::addRow("an error is a failure")
            << CodeMirrorViewModel::JavascriptResult(tl::unexpected(u"boom"_s)) << u"error:boom"_s;
    }
    void getContentReadsTheAnswer()
    {
        QFETCH(CodeMirrorViewModel::JavascriptResult, answer);
        QFETCH(QString, expected);
        CodeMirrorViewModel model;
        FakeHost host;
        host.answer = answer;
        host.install(model);
        QString got;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { got = outcome(r); });
        QCOMPARE(got, expected);
        QCOMPARE(host.calls.value(0).functionString, u"CodeMirror.getContent()"_s);
        QVERIFY(host.calls.value(0).args.isEmpty());
    }

    void withoutHostSetContentIsDroppedAndGetContentFails()
    {
        CodeMirrorViewModel model;
        model.setContent(u"lost"_s);
        QString got;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { got = outcome(r); });
        QVERIFY2(got.isEmpty(), "the failure arrives on a later turn, not inside the call");
        QTRY_VERIFY(got.startsWith(u"error:"_s));
    }

    void aHostThatIsGoneNoLongerServes()
    {
        CodeMirrorViewModel model;
        auto host = std::make_unique<FakeHost>();
        host->install(model);
        QVERIFY(model.hasExecuteJS());
        host.reset();
        QVERIFY(!model.hasExecuteJS());
        model.setContent(u"after"_s);
        QString got;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { got = outcome(r); });
        QTRY_VERIFY(got.startsWith(u"error:"_s));
    }

    void theLatestHostGetsTheCalls()
    {
        CodeMirrorViewModel model;
        FakeHost first;
        FakeHost second;
        first.install(model);
        second.install(model);
        model.setContent(u"t"_s);
        QCOMPARE(first.calls.size(), 0);
        QCOMPARE(second.calls.size(), 1);
    }

    void anAnswerForAGoneCallerIsDropped()
    {
        CodeMirrorViewModel model;
        CodeMirrorViewModel::ResultCallback held;
        QObject owner;
        model.installExecuteJS(&owner, [&](const JavascriptFunction &, CodeMirrorViewModel::ResultCallback r) {
            held = std::move(r);
        });
        bool called = false;
        {
            QObject caller;
            model.getContent(&caller, [&](const CodeMirrorViewModel::TextResult &) { called = true; });
        }
        held(QVariant(u"late"_s));
        QVERIFY(!called);
    }

    // The literal must be read back by a JSON parser as exactly the text, whatever it holds.
    void stringLiteralsReadBackExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("quotes and backslashes") << u"\"\\\"'\\n"_s;
        QTest::addRow("a closing script tag") << u"</script><script>alert(1)</script>"_s;
        QTest::addRow("template syntax and backticks") << u"${window.x=1}`"_s;
        QTest::addRow("line and paragraph separators") << QString::fromUtf16(u"a\u2028b\u2029c");
        QString controls(0x20, QChar());
        for (char16_t c = 0; c < 0x20; ++c)
            controls[c] = QChar(c);
        QTest::addRow("every control character") << controls + QChar(0x7f);
        QTest::addRow("an emoji outside the basic plane") << QString::fromUtf16(u"x\U0001F600y");
    }
    void stringLiteralsReadBackExactly()
    {
        QFETCH(QString, text);
        const QString literal = ScriptSource::stringLiteral(text);
        QVERIFY(!literal.contains(QChar(0x2028)) && !literal.contains(QChar(0x2029)));
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(u"["_s.append(literal).append(u"]"_s).toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.array().at(0).toString(), text);
    }

    void anUnpairedSurrogateIsEscaped()
    {
        const QString text = QString(QChar(0xD800)) + u"x"_s + QChar(0xDC00);
        QCOMPARE(ScriptSource::stringLiteral(text), u"\"\\ud800x\\udc00\""_s);
    }

    void callsThatCannotBeWrittenSafelyAreRefused_data()
    {
        QTest::addColumn<QVariantMap>("args");
        QTest::addRow("an argument name that is script") << QVariantMap({{u"x);alert(1"_s, true}});
        QTest::addRow("an argument that has no JSON literal") << QVariantMap({{u"value"_s, QVariant(QByteArray("b"))}});
        QTest::addRow("a number that is not finite") << QVariantMap({{u"value"_s, qInf()}});
    }
    void callsThatCannotBeWrittenSafelyAreRefused()
    {
        QFETCH(QVariantMap, args);
        QVERIFY(!ScriptSource::wrappedCall({u"f(value)"_s, args}).has_value());
    }

    void answersAreReadAsValueOrError_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addRow("a value") << QVariant(QVariantMap({{u"ok"_s, u"t"_s}})) << u"value:t"_s;
        QTest::addRow("null is no value") << QVariant(QVariantMap({{u"ok"_s, QVariant::fromValue(nullptr)}})) << u"none"_s;
        QTest::addRow("a thrown error") << QVariant(QVariantMap({{u"err"_s, u"bad"_s}})) << u"error:bad"_s;
        QTest::addRow("no answer at all") << QVariant() << u"error"_s;
        QTest::addRow("an answer of another shape") << QVariant(3) << u"error"_s;
    }
    void answersAreReadAsValueOrError()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, expected);
        const auto read = ScriptSource::readAnswer(answer);
        const QString got = !read ? u"error:"_s + read.error() : read->isValid() ? u"value:"_s + read->toString() : u"none"_s;
        QCOMPARE(got.left(expected.size()), expected);
    }
};

QTEST_GUILESS_MAIN(TestCodeMirrorViewModel)
#include "tst_codemirrorviewmodel.moc"
