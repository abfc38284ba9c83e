#include "MorvendaApp/core/L10n.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TestL10n : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void formatsPlaceholders_data();
    void formatsPlaceholders();
    void missingKeyGivesItself();
    void tableHasNoConflictingEntries();
    void everyKeyUsedInTheSourcesIsInTheTable();
    void translationFileIsChosenByLanguage_data();
    void translationFileIsChosenByLanguage();
    void brokenTranslationsKeepTheEnglishText();
    void threadsLookTextsUpTogether();
};

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

void TestL10n::cleanup()
{
    // Back to the English defaults for the next case.
    L10n::loadTranslations({}, QString());
}

void TestL10n::formatsPlaceholders_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("expected");

    QTest::addRow("object placeholder takes the value's text") << QStringLiteral("ID: %@") << QVariantList{QStringLiteral("abc")} << QStringLiteral("ID: abc");
    QTest::addRow("whole numbers are not grouped") << QStringLiteral("%lld/%lld") << QVariantList{1234567, 2000000} << QStringLiteral("1234567/2000000");
    QTest::addRow("doubles have six decimals") << QStringLiteral("%lf s") << QVariantList{0.25} << QStringLiteral("0.250000 s");
    QTest::addRow("a number placeholder given a word shows the word") << QStringLiteral("%lld items") << QVariantList{QStringLiteral("many")} << QStringLiteral("many items");
    QTest::addRow("an argument is never read as a pattern") << QStringLiteral("%@ and %@") << QVariantList{QStringLiteral("%@"), QStringLiteral("x")} << QStringLiteral("%@ and x");
    QTest::addRow("a placeholder without an argument stays") << QStringLiteral("%@ %lld") << QVariantList{QStringLiteral("a")} << QStringLiteral("a %lld");
    QTest::addRow("extra arguments are ignored") << QStringLiteral("%@") << QVariantList{1, 2} << QStringLiteral("1");
    QTest::addRow("double percent is one percent") << QStringLiteral("100%% of %@") << QVariantList{3} << QStringLiteral("100% of 3");
    QTest::addRow("a lone percent sign stays") << QStringLiteral("50% off %@%") << QVariantList{QStringLiteral("x")} << QStringLiteral("50% off x%");
    QTest::addRow("a text without arguments is verbatim") << QStringLiteral("50%% done %@") << QVariantList{} << QStringLiteral("50%% done %@");
}

void TestL10n::formatsPlaceholders()
{
    QFETCH(QString, pattern);
    QFETCH(QVariantList, args);
    QFETCH(QString, expected);
    QCOMPARE(L10n::formatText(pattern, args), expected);
}

void TestL10n::missingKeyGivesItself()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no text for key")));
    QCOMPARE(L10n::text("No.such.key"), QStringLiteral("No.such.key"));
}

void TestL10n::tableHasNoConflictingEntries()
{
    // Several modules add their keys; the same key twice is harmless only with the same text.
    QHash<QString, QString> seen;
    for (const QString &key : L10n::allKeys()) {
        const QString english = L10n::englishDefault(key.toUtf8().constData());
        QVERIFY2(!english.isEmpty(), qPrintable(key));
        const auto previous = seen.constFind(key);
        QVERIFY2(previous == seen.constEnd() || *previous == english,
                 qPrintable(QStringLiteral("%1 has two different defaults").arg(key)));
        seen.insert(key, english);
    }
}

void TestL10n::everyKeyUsedInTheSourcesIsInTheTable()
{
    static const QRegularExpression call(QStringLiteral(R"re(L10n::(?:text|tr|format)\(\s*"((?:[^"\\]|\\.)*)")re"));
    const QStringList keys = L10n::allKeys();
    const QSet<QString> table(keys.cbegin(), keys.cend());
    const QString root = QStringLiteral(MORVENDA_SOURCE_ROOT);
    QStringList missing;
    QSet<QString> used;
    for (const char *folder : {"MorvendaModel", "MorvendaApp", "CodeMirror", "MorvendaLib"}) {
        QDirIterator it(root + u'/' + QString::fromLatin1(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(u"/node_modules/"))
                continue;
            QFile file(path);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
            const QString source = QString::fromUtf8(file.readAll());
            for (auto match = call.globalMatch(source); match.hasNext();) {
                QString key = match.next().captured(1);
                key.replace(QStringLiteral("\\\""), QStringLiteral("\"")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
                used.insert(key);
                if (!table.contains(key))
                    missing.append(QStringLiteral("%1 (%2)").arg(key, QDir(root).relativeFilePath(path)));
            }
        }
    }
    QVERIFY2(used.contains(QStringLiteral("BinaryDecodingAlert.title")), "the scan found no key at all");
    QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("keys missing from the table: ") + missing.join(u", ")));
}

void TestL10n::translationFileIsChosenByLanguage_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("chosen");

    QTest::addRow("a regional language falls back to its base language")
        << QStringList{QStringLiteral("de")} << QStringList{QStringLiteral("de-CH")} << QStringLiteral("de");
    QTest::addRow("the regional file wins over the base language")
        << QStringList{QStringLiteral("de"), QStringLiteral("de_CH")} << QStringList{QStringLiteral("de-CH")}
        << QStringLiteral("de_CH");
    QTest::addRow("the first preferred language with a file wins")
        << QStringList{QStringLiteral("fr"), QStringLiteral("de")}
        << QStringList{QStringLiteral("it-IT"), QStringLiteral("de-DE"), QStringLiteral("fr-FR")}
        << QStringLiteral("de");
    QTest::addRow("no file for the language keeps English")
        << QStringList{QStringLiteral("de")} << QStringList{QStringLiteral("en-US")} << QString();
}

void TestL10n::translationFileIsChosenByLanguage()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, languages);
    QFETCH(QString, chosen);

    QTemporaryDir dir;
    for (const QString &name : files)
        writeFile(dir.filePath(name + u".json"), "{\"Copy\": \"" + name.toUtf8() + "\"}");
    const QString used = L10n::loadTranslations(languages, dir.path());
    QCOMPARE(QFileInfo(used).completeBaseName(), chosen);
    QCOMPARE(L10n::text("Copy"), chosen.isEmpty() ? QStringLiteral("Copy") : chosen);
}

void TestL10n::brokenTranslationsKeepTheEnglishText()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("de.json")), R"({
        "Copy": "Kopieren",
        "Connection.id": "Kennung",
        "Milestone.count": "Anzahl: %@ %@",
        "Delete": 5,
        "Gone.key": "weg"
    })");
    writeFile(dir.filePath(QStringLiteral("fr.json")), "{ not json");

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Connection.id.*other placeholders")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Milestone.count.*other placeholders")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Delete.*not a text")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("unknown key.*Gone.key")));
    L10n::loadTranslations({QStringLiteral("de")}, dir.path());
    QCOMPARE(L10n::text("Copy"), QStringLiteral("Kopieren"));
    QCOMPARE(L10n::tr("Connection.id", QStringLiteral("abc")), QStringLiteral("ID: abc"));
    QCOMPARE(L10n::tr("Milestone.count", 7), QStringLiteral("Count: 7"));
    QCOMPARE(L10n::text("Delete"), QStringLiteral("Delete"));
    QCOMPARE(L10n::text("Cancel"), QStringLiteral("Cancel")); // not translated: English stands

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("translations ignored")));
    L10n::loadTranslations({QStringLiteral("fr")}, dir.path());
    QCOMPARE(L10n::text("Copy"), QStringLiteral("Copy"));
}

QTEST_GUILESS_MAIN(TestL10n)
// Charts format labels on worker threads while the window looks texts up and the first lookups
// fill the cache.
void TestL10n::threadsLookTextsUpTogether()
{
    const QStringList keys = L10n::allKeys();
    QList<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads.append(QThread::create([&keys, t] {
            for (int round = 0; round < 50; ++round) {
                for (qsizetype i = t; i < keys.size(); i += 2)
                    (void)L10n::text(keys.at(i).toUtf8().constData());
            }
        }));
    }
    for (QThread *thread : threads)
        thread->start();
    for (int round = 0; round < 200; ++round)
        L10n::loadTranslations({QStringLiteral("en")});
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    QCOMPARE(L10n::text(keys.constFirst().toUtf8().constData()), L10n::englishDefault(keys.constFirst().toUtf8().constData()));
}

#include "tst_l10n.moc"
