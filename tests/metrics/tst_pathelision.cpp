// Shortening URL paths for a narrow path column: sets of paths that differ only in an id keep
// their ids and read apart at every width, every text fits, and hostile text never breaks it.
#include "MorvendaApp/metrics/ui/PathElision.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QSet>
#include <QTest>

namespace {
constexpr QChar kEllipsis(0x2026);
const QList<int> kWidths = {60, 100, 150, 200};

// The list's font: the body text size.
QFont rowFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(13);
    return font;
}

QStringList numbers()
{
    QStringList ids;
    for (uint n = 1; n <= 8; ++n)
        ids.append(QString::number(104729u * n));
    return ids;
}

// Fixed, so a failure repeats; they differ at both ends, as random ones do.
const QStringList kUuids = {
    QStringLiteral("3F2A9C1D-0B4E-4C6A-9E1F-7A2B3C4D5E6F"), QStringLiteral("8E7D6C5B-4A39-4281-9F0E-1D2C3B4A5968"),
    QStringLiteral("0A1B2C3D-4E5F-4061-8273-94A5B6C7D8E9"), QStringLiteral("C0FFEE00-1234-4321-ABCD-00112233AAB1"),
};
} // namespace

class TestPathElision : public QObject
{
    Q_OBJECT

private slots:
    void pathsThatDifferInAnIdReadApart_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<int>("width");
        const QString longWord(60, u'w');
        const QString longHash = QStringLiteral("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b8%1");
        QStringList hashes;
        for (const char16_t *tail : {u"55", u"a1", u"07"})
            hashes.append(longHash.arg(QStringView(tail)));
        const struct
        {
            const char *name;
            QString pattern;
            QStringList ids;
        } cases[] = {
            {"id in the middle", QStringLiteral("/api/v2/products/%1/reviews"), numbers()},
            {"id at the end", QStringLiteral("/api/v2/resource/%1"), numbers()},
            {"the later of two ids differs", QStringLiteral("/api/v2/stores/42/products/%1/reviews"), numbers()},
            {"the earlier of two ids differs", QStringLiteral("/api/v2/stores/%1/products/77/reviews"), numbers()},
            {"uuid", QStringLiteral("/api/v2/carts/%1/items"), kUuids},
            {"object id", QStringLiteral("/api/v2/orders/%1"),
             {QStringLiteral("65a1f0c2e4b0a1b2c3d4e5f6"), QStringLiteral("65a1f0c2e4b0a1b2c3d4e5f7"), QStringLiteral("75a1f0c2e4b0a1b2c3d4e5f6")}},
            {"id in a file name", QStringLiteral("/media/images/products/%1.jpg"), numbers()},
            {"long word after the id", QStringLiteral("/api/v2/products/%1/") + longWord, numbers()},
            {"long word before the id", QStringLiteral("/api/") + longWord + QStringLiteral("/%1/reviews"), numbers()},
            {"id wider than any row", QStringLiteral("/api/v2/blobs/%1/raw"), hashes},
            {"id first, no leading slash", QStringLiteral("%1/api/v2/products/reviews"), numbers()},
            {"id right after the root", QStringLiteral("/%1/api/v2/products/reviews/summary"), numbers()},
            {"percent-encoded segments", QStringLiteral("/api/%E5%95%86%E5%93%81/%1/%E8%A9%95%E4%BE%A1"), numbers()},
            {"non-Latin segments", QStringLiteral("/api/商品一覧/%1/レビュー"), numbers()},
            {"right-to-left segments", QStringLiteral("/api/מוצרים/%1/ביקורות"), numbers()},
            {"trailing slash", QStringLiteral("/api/v2/products/%1/reviews/"), numbers()},
        };
        for (const auto &c : cases) {
            for (const int width : kWidths)
                QTest::addRow("%s at %d px", c.name, width) << c.pattern << c.ids << width;
        }
    }

    void pathsThatDifferInAnIdReadApart()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, ids);
        QFETCH(int, width);
        const QFontMetricsF metrics(rowFont());
        QSet<QString> shown;
        for (const QString &id : std::as_const(ids)) {
            const QString path = pattern.arg(id);
            const QString text = PathElision::elide(path, rowFont(), width);
            const QString context = QStringLiteral("%1 shows as %2").arg(path, text);
            QVERIFY2(metrics.horizontalAdvance(text) <= width, qPrintable(context));
            if (metrics.horizontalAdvance(path) <= width)
                QCOMPARE(text, path);
            if (metrics.horizontalAdvance(id) <= width)
                QVERIFY2(text.contains(id), qPrintable(context));
            QVERIFY2(!shown.contains(text), qPrintable(context + QStringLiteral(" like another row")));
            shown.insert(text);
        }
    }

    void pathsWithoutIdsAndHostileTextFitAndNeverBreak_data()
    {
        QTest::addColumn<QString>("path");
        // Paths without an id keep Qt's own middle elision.
        QTest::addColumn<bool>("plain");
        QTest::addRow("no id") << QStringLiteral("/api/v2/products/featured/reviews") << true;
        QTest::addRow("short version numbers only") << QStringLiteral("/api/v2/oauth2/token/refresh/now") << true;
        QTest::addRow("hex-looking words") << QStringLiteral("/api/decade/facade/accede/feedface/deadbeef") << true;
        QTest::addRow("empty") << QString() << true;
        QTest::addRow("root") << QStringLiteral("/") << true;
        QTest::addRow("only slashes") << QString(300, u'/') << true;
        QTest::addRow("one unbreakable segment") << u'/' + QString(5000, u'x') << true;
        QTest::addRow("right-to-left only") << QStringLiteral("/מוצרים/ביקורות/אחרונות/מובחרות") << true;
        QTest::addRow("thousands of ids") << QStringLiteral("/1234").repeated(3000) << false;
        QTest::addRow("hyphens around a hash") << QStringLiteral("/api/---0123456789abcdef---/x") << false;
        QTest::addRow("combining marks") << u'/' + QStringLiteral("e\u0301\u0301\u0301").repeated(200) + QStringLiteral("/1234") << false;
        QTest::addRow("emoji") << QStringLiteral("/api/🛒🛒🛒🛒🛒🛒🛒🛒/104729/⭐⭐⭐⭐⭐⭐") << false;
        QTest::addRow("lone surrogates") << QStringLiteral("/api/") + QChar(0xD800) + QStringLiteral("/104729/") + QChar(0xDC00) + QStringLiteral("reviews")
                                         << false;
    }

    void pathsWithoutIdsAndHostileTextFitAndNeverBreak()
    {
        QFETCH(QString, path);
        QFETCH(bool, plain);
        const QFontMetricsF metrics(rowFont());
        for (const int width : kWidths + QList<int>{0, 5}) {
            const QString text = PathElision::elide(path, rowFont(), width);
            if (metrics.horizontalAdvance(path) <= width) {
                QCOMPARE(text, path);
                continue;
            }
            QVERIFY2(text == kEllipsis || metrics.horizontalAdvance(text) <= width, qPrintable(text));
            if (plain && width >= 60)
                QCOMPARE(text, metrics.elidedText(path, Qt::ElideMiddle, width));
        }
    }

    void theCacheFollowsTheWidthAndTheFont()
    {
        PathElision::Cache cache;
        QFont font = rowFont();
        const QString path = QStringLiteral("/api/v2/products/104729/reviews");
        for (const int width : {100, 200, 100}) {
            QCOMPARE(cache.elide(path, font, width), PathElision::elide(path, font, width));
            QCOMPARE(cache.elide(path, font, width), PathElision::elide(path, font, width));
        }
        font.setPixelSize(26);
        QCOMPARE(cache.elide(path, font, 200), PathElision::elide(path, font, 200));
    }
};

QTEST_MAIN(TestPathElision)
#include "tst_pathelision.moc"
