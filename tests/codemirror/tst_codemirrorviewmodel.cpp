// The view model without a page: the literals and calls it writes for its host, how answers are
// read, and what happens with no host or a host that is gone.
#include "CodeMirror/CodeMirrorViewModel.h"
#include "CodeMirror/ScriptSource.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

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
        return QStringLiteral("error:") + result.error();
    return result->has_value() ? QStringLiteral("text:") + **result : QStringLiteral("none");
}

} // namespace

class TestCodeMirrorViewModel : public QObject
{
    Q_OBJECT

private slots:
    // Without a host, and with one that is gone, text is dropped and reads fail; a second host
    // replaces the first.
    void withoutAHostSetContentIsDroppedAndGetContentFails()
    {
        CodeMirrorViewModel model;
        model.setContent(QStringLiteral("lost"));
        QString got;
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { got = outcome(r); });
        QVERIFY2(got.isEmpty(), "the failure arrives on a later turn, not inside the call");
        QTRY_VERIFY(got.startsWith(QStringLiteral("error:")));

        // Only the latest host gets the calls.
        FakeHost first;
        first.install(model);
        auto host = std::make_unique<FakeHost>();
        host->install(model);
        model.setContent(QStringLiteral("t"));
        QCOMPARE(first.calls.size(), 0);
        QCOMPARE(host->calls.size(), 1);
        host.reset();
        QVERIFY(!model.hasExecuteJS());
        model.setContent(QStringLiteral("after"));
        got.clear();
        model.getContent(this, [&](const CodeMirrorViewModel::TextResult &r) { got = outcome(r); });
        QTRY_VERIFY(got.startsWith(QStringLiteral("error:")));
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
        held(QVariant(QStringLiteral("late")));
        QVERIFY(!called);
    }

    // The literal must be read back by a JSON parser as exactly the text, whatever it holds.
    void stringLiteralsReadBackExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addRow("quotes and backslashes") << QStringLiteral("\"\\\"'\\n");
        QTest::addRow("a closing script tag") << QStringLiteral("</script><script>alert(1)</script>");
        QTest::addRow("template syntax and backticks") << QStringLiteral("${window.x=1}`");
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
        const QJsonDocument doc = QJsonDocument::fromJson(QStringLiteral("[").append(literal).append(QStringLiteral("]")).toUtf8(), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(doc.array().at(0).toString(), text);
    }

    void anUnpairedSurrogateIsEscaped()
    {
        const QString text = QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00);
        QCOMPARE(ScriptSource::stringLiteral(text), QStringLiteral("\"\\ud800x\\udc00\""));
    }

    void callsThatCannotBeWrittenSafelyAreRefused_data()
    {
        QTest::addColumn<QVariantMap>("args");
        QTest::addRow("an argument name that is script") << QVariantMap({{QStringLiteral("x);alert(1"), true}});
        QTest::addRow("an argument that has no JSON literal") << QVariantMap({{QStringLiteral("value"), QVariant(QByteArray("b"))}});
        QTest::addRow("a number that is not finite") << QVariantMap({{QStringLiteral("value"), qInf()}});
    }
    void callsThatCannotBeWrittenSafelyAreRefused()
    {
        QFETCH(QVariantMap, args);
        QVERIFY(!ScriptSource::wrappedCall({QStringLiteral("f(value)"), args}).has_value());
    }

    void answersAreReadAsValueOrError_data()
    {
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<QString>("expected");
        QTest::addRow("a value") << QVariant(QVariantMap({{QStringLiteral("ok"), QStringLiteral("t")}})) << QStringLiteral("value:t");
        QTest::addRow("null is no value") << QVariant(QVariantMap({{QStringLiteral("ok"), QVariant::fromValue(nullptr)}})) << QStringLiteral("none");
        QTest::addRow("a thrown error") << QVariant(QVariantMap({{QStringLiteral("err"), QStringLiteral("bad")}})) << QStringLiteral("error:bad");
        QTest::addRow("no answer at all") << QVariant() << QStringLiteral("error");
        QTest::addRow("an answer of another shape") << QVariant(3) << QStringLiteral("error");
    }
    void answersAreReadAsValueOrError()
    {
        QFETCH(QVariant, answer);
        QFETCH(QString, expected);
        const auto read = ScriptSource::readAnswer(answer);
        const QString got = !read ? QStringLiteral("error:") + read.error() : read->isValid() ? QStringLiteral("value:") + read->toString() : QStringLiteral("none");
        QCOMPARE(got.left(expected.size()), expected);
    }
};

QTEST_GUILESS_MAIN(TestCodeMirrorViewModel)
#include "tst_codemirrorviewmodel.moc"
