// The help dialog: the articles in title order under the header and hint rows, each opening its
// own page through the injected opener on a click, and the close button.
#include "tests/support/Artifacts.h"

#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/shell/HelpView.h"

#include <QListWidget>
#include <QSet>
#include <QTest>

class TestHelpView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyArticleIsListedInTitleOrderAndOpensItsOwnPage();
    void clickingTheHeaderOrTheHintOpensNothing();
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

void TestHelpView::everyArticleIsListedInTitleOrderAndOpensItsOwnPage()
{
    QListWidget *list = m_help->list();
    saveArtifact(m_help.get(), QStringLiteral("help-view.png"));
    // Below the header and the hint, one row per article.
    QCOMPARE(list->count(), HelpView::helpPages().size() + 2);
    QStringList titles;
    QSet<QUrl> pages;
    for (int row = 2; row < list->count(); ++row) {
        titles.append(list->item(row)->text());
        click(list->item(row));
        QCOMPARE(m_opened.size(), row - 1);
        QVERIFY(m_help->isVisible());
        pages.insert(m_opened.last());
    }
    QStringList sorted = titles;
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
    QCOMPARE(titles, sorted);
    QCOMPARE(pages.size(), HelpView::helpPages().size());
    QCOMPARE(m_opened.first(), *helpUrl(Help::ConnectToNewClient));
}

void TestHelpView::clickingTheHeaderOrTheHintOpensNothing()
{
    click(m_help->list()->item(0));
    click(m_help->list()->item(1));
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
