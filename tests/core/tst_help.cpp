#include "MorvendaApp/core/Help.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

class TestHelp : public QObject
{
    Q_OBJECT

private slots:
    void articlesInDeclarationOrder();
    void everyArticleHasItsOwnAbsolutePage();
    void parsingIsExact();
};

void TestHelp::articlesInDeclarationOrder()
{
    QStringList raws;
    QStringList titles;
    for (Help article : kAllHelpArticles) {
        raws << rawValue(article);
        titles << helpTitle(article);
        QCOMPARE(helpFromRawValue(rawValue(article)), article);
        QCOMPARE(helpIconSymbol(article).isEmpty(), article == Help::Morvenda);
    }
    QCOMPARE(raws,
        (QStringList{u"morvenda"_s, u"connectToNewClient"_s, u"impersonation"_s, u"settings"_s, u"console"_s, u"network"_s,
            u"universalLinks"_s, u"saveAndOpenFiles"_s, u"metrics"_s, u"filters"_s, u"milestones"_s}));
    titles.sort();
    QCOMPARE(titles,
        (QStringList{u"Connect to new client"_s, u"Console"_s, u"Filters"_s, u"Impersonation"_s, u"Metrics"_s, u"Milestones"_s,
            u"Morvenda Feature Guide"_s, u"Networking"_s, u"Save and Open Files"_s, u"Settings control"_s, u"Universal Links"_s}));
}

void TestHelp::everyArticleHasItsOwnAbsolutePage()
{
    QSet<QUrl> pages;
    for (Help article : kAllHelpArticles) {
        const std::optional<QUrl> page = helpUrl(article);
        QVERIFY2(page.has_value(), qPrintable(rawValue(article)));
        QCOMPARE(page->scheme(), QStringLiteral("https"));
        pages.insert(*page);
    }
    QCOMPARE(pages.size(), int(kAllHelpArticles.size()));
}

void TestHelp::parsingIsExact()
{
    QVERIFY(!helpFromRawValue(u"Metrics").has_value());
    QVERIFY(!helpFromRawValue(u"").has_value());
    QCOMPARE(helpFromRawValue(u"saveAndOpenFiles"), Help::SaveAndOpenFiles);
}

QTEST_GUILESS_MAIN(TestHelp)
#include "tst_help.moc"
