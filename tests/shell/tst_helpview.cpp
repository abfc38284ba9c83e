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
    void everyArticleIsListedInTitleOrderAndOpensItsOwnPage()
    {
        QList<QUrl> opened;
        HelpView help([&opened](const QUrl &url) { opened.append(url); });
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QListWidget *list = help.list();
        const auto click = [list](QListWidgetItem *item) {
            list->scrollToItem(item);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        };
        saveArtifact(&help, QStringLiteral("help-view.png"));
        // Below the header and the hint, which open nothing, one row per article.
        QCOMPARE(list->count(), HelpView::helpPages().size() + 2);
        click(list->item(0));
        click(list->item(1));
        QVERIFY(opened.isEmpty());
        QStringList titles;
        QSet<QUrl> pages;
        for (int row = 2; row < list->count(); ++row) {
            titles.append(list->item(row)->text());
            click(list->item(row));
            QCOMPARE(opened.size(), row - 1);
            QVERIFY(help.isVisible());
            pages.insert(opened.last());
        }
        QStringList sorted = titles;
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return a.localeAwareCompare(b) < 0; });
        QCOMPARE(titles, sorted);
        QCOMPARE(pages.size(), HelpView::helpPages().size());
        QCOMPARE(opened.first(), *helpUrl(Help::ConnectToNewClient));

        auto *close = help.findChild<SymbolButton *>(QStringLiteral("closeHelp"));
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!help.isVisible());
    }
};

QTEST_MAIN(TestHelpView)
#include "tst_helpview.moc"
