#include "MorvendaApp/session/PathTextIndex.h"

#include <QRandomGenerator>
#include <QTest>

class TestPathTextIndex : public QObject
{
    Q_OBJECT

private slots:
    void answersAsQStringContainsThroughReplacements();
};

// Paths of one-byte and UTF-16 characters, replaced again and again at random positions (which
// moves texts and compacts the buffer): every answer must be QString::contains's and ==.
void TestPathTextIndex::answersAsQStringContainsThroughReplacements()
{
    const QStringList pieces{QStringLiteral("a"),       QStringLiteral("A"),       QStringLiteral("/"),
                             QStringLiteral("\u00e9"),  QStringLiteral("\u00ff"),  QStringLiteral("\u0100"),
                             QStringLiteral("\u01e9"),  QStringLiteral("\U0001F600")};
    QRandomGenerator random(7);
    const auto text = [&](int maxPieces) {
        QString result;
        for (int n = int(random.bounded(maxPieces + 1)); n > 0; --n)
            result += pieces[int(random.bounded(pieces.size()))];
        return result;
    };
    PathTextIndex index;
    std::vector<std::optional<QString>> paths;
    for (int step = 0; step < 4000; ++step) {
        const std::optional<QString> path = random.bounded(10) == 0 ? std::nullopt : std::optional(text(8));
        const size_t position = paths.empty() || random.bounded(3) == 0 ? paths.size() : random.bounded(quint32(paths.size()));
        index.set(position, path);
        if (position == paths.size())
            paths.push_back(path);
        else
            paths[position] = path;
    }
    QCOMPARE(index.size(), paths.size());
    // Held bytes stay near the live texts however often they were replaced.
    size_t live = 0;
    for (const auto &path : paths)
        live += path ? size_t(path->size()) * 2 : 0;
    QVERIFY2(index.bytes() < 4 * live + 16 * paths.size() + 65536, qPrintable(QString::number(index.bytes())));

    // "\u01e9" is byte for byte the middle of "\u0100\u00e9" read one byte off: never a match.
    QStringList needles{QStringLiteral("\u01e9"), QStringLiteral("\u0100\u00e9"), QStringLiteral("\U0001F600").left(1)};
    for (int n = 0; n < 200; ++n)
        needles << text(3);
    const auto answer = [](const std::optional<QString> &path, bool test) {
        return !path ? PathTextIndex::Found::Absent : test ? PathTextIndex::Found::Yes : PathTextIndex::Found::No;
    };
    for (const QString &needle : std::as_const(needles)) {
        const PathTextIndex::Needle prepared(needle);
        for (size_t position = 0; position < paths.size(); ++position) {
            const std::optional<QString> &path = paths[position];
            if (!needle.isEmpty() && index.contains(position, prepared) != answer(path, path && path->contains(needle)))
                QFAIL(qPrintable(QStringLiteral("\"%1\" in \"%2\"").arg(needle, path.value_or(QString()))));
            if (index.equals(position, prepared) != answer(path, path && *path == needle))
                QFAIL(qPrintable(QStringLiteral("\"%1\" == \"%2\"").arg(needle, path.value_or(QString()))));
        }
    }
}

QTEST_GUILESS_MAIN(TestPathTextIndex)
#include "tst_pathtextindex.moc"
