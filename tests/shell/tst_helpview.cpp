// The help dialog: the articles in title order under the header and hint rows, pages opened
// through the injected opener on a click, hovering highlights, and the close button.
#include "tests/support/Artifacts.h"

#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/shell/HelpView.h"

#include <QDir>
#include <QListWidget>
#include <QSet>
#include <QTest>

class TestHelpView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listsHeaderHintAndTheElevenArticlesInTitleOrder();
    void everyArticleHasItsOwnPlaceholderAddress();
    void clickingAnArticleOpensItsPageAndKeepsTheDialog();
    void clickingTheHeaderOrTheHintOpensNothing();
    void hoveringHighlightsTheRowUnderThePointer();
    void theCloseButtonClosesTheDialog();

private:
    void click(QListWidgetItem *item);

    std::unique_ptr<HelpView> m_help;
    QList<QUrl> m_opened;
};

void TestHelpView::init()
{
    m_opened.clear();
    m_help = std::make_unique<HelpView>([this](const QUrl &url) { m_opened.append(url); });
    m_help->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_help.get()));
}

void TestHelpView::cleanup()
{
    m_help.reset();
}

void TestHelpView::click(QListWidgetItem *item)
{
    QListWidget *list = m_help->list();
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

void TestHelpView::listsHeaderHintAndTheElevenArticlesInTitleOrder()
{
    QListWidget *list = m_help->list();
    QCOMPARE(list->count(), 13);
    QCOMPARE(list->item(0)->text(), QStringLiteral("Morvenda Help"));
    QCOMPARE(list->item(1)->text(),
        QStringLiteral("Select an article and you'll be redirected to the documentation page on Notion"));
    QStringList titles;
    for (int row = 2; row < list->count(); ++row) {
        titles.append(list->item(row)->text());
    }
    QCOMPARE(titles, (QStringList{QStringLiteral("Connect to new client"), QStringLiteral("Console"),
                         QStringLiteral("Filters"), QStringLiteral("Impersonation"), QStringLiteral("Metrics"),
                         QStringLiteral("Milestones"), QStringLiteral("Morvenda Feature Guide"),
                         QStringLiteral("Networking"), QStringLiteral("Save and Open Files"),
                         QStringLiteral("Settings control"), QStringLiteral("Universal Links")}));
    QVERIFY(m_help->minimumWidth() >= 600 && m_help->minimumHeight() >= 600);
    saveArtifact(m_help.get(), QStringLiteral("help-view.png"));
}

void TestHelpView::everyArticleHasItsOwnPlaceholderAddress()
{
    QSet<QUrl> addresses;
    for (const Help article : HelpView::helpPages()) {
        const auto url = helpUrl(article);
        QVERIFY(url);
        QVERIFY2(url->toString().startsWith(QStringLiteral("https://docs.example.com/morvenda/")),
            qPrintable(url->toString()));
        addresses.insert(*url);
    }
    QCOMPARE(addresses.size(), 11);
}

void TestHelpView::clickingAnArticleOpensItsPageAndKeepsTheDialog()
{
    click(m_help->itemFor(Help::Metrics));
    QCOMPARE(m_opened, QList<QUrl>{*helpUrl(Help::Metrics)});
    QVERIFY(m_help->isVisible());
    click(m_help->itemFor(Help::Morvenda));
    QCOMPARE(m_opened.size(), 2);
    QCOMPARE(m_opened.last(), *helpUrl(Help::Morvenda));
}

void TestHelpView::clickingTheHeaderOrTheHintOpensNothing()
{
    click(m_help->list()->item(0));
    click(m_help->list()->item(1));
    QVERIFY(m_opened.isEmpty());
}

void TestHelpView::hoveringHighlightsTheRowUnderThePointer()
{
    QListWidget *list = m_help->list();
    QTest::mouseMove(list->viewport(), list->visualItemRect(m_help->itemFor(Help::Filters)).center());
    QTRY_COMPARE(list->currentItem(), m_help->itemFor(Help::Filters));
    QTest::mouseMove(list->viewport(), list->visualItemRect(m_help->itemFor(Help::Metrics)).center());
    QTRY_COMPARE(list->currentItem(), m_help->itemFor(Help::Metrics));
    QVERIFY(m_opened.isEmpty());
}

void TestHelpView::theCloseButtonClosesTheDialog()
{
    auto *close = m_help->findChild<SymbolButton *>(QStringLiteral("closeHelp"));
    QVERIFY(close);
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!m_help->isVisible());
}

QTEST_MAIN(TestHelpView)
#include "tst_helpview.moc"
