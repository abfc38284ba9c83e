// The details column driven as a user would, offscreen with the real code viewer. A screenshot in
// the dark palette goes to $MORVENDA_ARTIFACTS.
#include "tests/support/Artifacts.h"
#include "tests/support/PageWait.h"

#include "MorvendaApp/details/DetailsToolbar.h"
#include "MorvendaApp/details/MorvendaDetailsView.h"
#include "MorvendaApp/details/PayloadInfoModel.h"

#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/CodeMirrorView.h"
#include "MorvendaApp/components/SegmentedPicker.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/session/MessageRepository.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using DetailType = PayloadDetailsView::DetailType;

namespace {

constexpr int kPageTimeout = 30000;
const QString kPeer = QStringLiteral("Retail app");

Request request(const QUuid &id, const QString &address, QList<Header> headers = {},
    std::optional<QString> body = std::nullopt, double timestamp = 1709634133.0)
{
    return Request(id, Url::fromText(address), Method::Post, timestamp, std::move(body), std::move(headers));
}

Response response(const QUuid &id, double timestamp, QList<Header> headers = {}, std::optional<QString> body = std::nullopt)
{
    return Response(id, QUuid::createUuid(), 200, Url::fromText(QStringLiteral("https://shop.example/api/cart")),
        Response::Source::Network, timestamp, std::move(headers), std::move(body));
}

// The labels of the strip drawn as selected.
QStringList highlighted(PayloadDetailsView *pane)
{
    QStringList list;
    for (int i = 0; i < pane->tabStrip()->itemCount(); ++i) {
        auto *label = qobject_cast<QLabel *>(pane->tabStrip()->itemWidget(i));
        if (label && label->property("selected").toBool())
            list.append(label->text());
    }
    return list;
}

void clickTab(PayloadDetailsView *pane, DetailType type)
{
    QVERIFY(pane);
    const int index = int(pane->availableDetailTypes().indexOf(type));
    QVERIFY(index >= 0);
    QTest::mouseClick(pane->tabStrip()->itemWidget(index), Qt::LeftButton);
}

// The body viewer's text as the editor page holds it.
QString pageText(PayloadBodyView *body)
{
    if (!waitUntil([&] { return body->codeView()->coordinator().pageLoaded(); }, kPageTimeout))
        return QStringLiteral("<not ready>");
    QString text;
    bool done = false;
    QObject context;
    body->viewModel().getContent(&context, [&](const CodeMirrorViewModel::TextResult &result) {
        text = result && result->has_value() ? **result : QStringLiteral("<no text>");
        done = true;
    });
    return waitUntil([&] { return done; }, kPageTimeout) ? text : QStringLiteral("<timeout>");
}

} // namespace

class TestDetailsView : public QObject
{
    Q_OBJECT

private:
    MessageRepository m_repository;
    WindowManager m_windowManager;
    QList<QUrl> m_opened;
    std::unique_ptr<MorvendaDetailsView> m_view;
    QUuid m_plain = QUuid::createUuid();
    QUuid m_rich = QUuid::createUuid();
    QUuid m_cookieOnly = QUuid::createUuid();
    QUuid m_single = QUuid::createUuid();
    QString m_richBody = QStringLiteral("{\r\n  \"items\": [\"a, b\", \"</script>\"]\r\n}");

    EntryDetailsView *entry() const
    {
        return m_view->detailsView() ? m_view->detailsView()->entryDetails() : nullptr;
    }
    void select(const std::optional<QUuid> &id) { m_view->setSelectedMessageID(id); }

    void fill()
    {
        m_repository.addRequest(request(m_plain, QStringLiteral("https://shop.example/api/ping")), kPeer);
        m_repository.addResponse(response(m_plain, 1709634133.25), kPeer);

        m_repository.addRequest(request(m_rich, QStringLiteral("https://shop.example/api/catalog/p_8f3a/variants?size=M&q=a+b"),
                                    {{QStringLiteral("Accept"), QStringLiteral("application/json")}, {QStringLiteral("Content-Type"), QStringLiteral("text/html, charset=utf-8")},
                                        {QStringLiteral("Cookie"), QStringLiteral("theme=dark; token=abc==")}},
                                    m_richBody),
            kPeer);
        m_repository.addResponse(response(m_rich, 1709634134.0, {{QStringLiteral("Set-Cookie"), QStringLiteral("id=7; Path=/")}}, QStringLiteral("[1]")), kPeer);
        m_repository.addResponse(response(m_rich, 1709634135.5, {}, QStringLiteral("[2]")), kPeer);

        m_repository.addRequest(request(m_cookieOnly, QStringLiteral("/relative"), {{QStringLiteral("Cookie"), QStringLiteral("a=1")}}), kPeer);
        m_repository.addRequest(request(m_single, QStringLiteral("https://shop.example/api/single"), {{QStringLiteral("X"), QStringLiteral("y")}}), kPeer);
        m_repository.addResponse(response(m_single, 1709634133.0), kPeer);
    }

private slots:
    void initTestCase()
    {
        fill();
        m_view = std::make_unique<MorvendaDetailsView>(m_repository, m_windowManager,
            [this](const QUrl &url) { m_opened.append(url); });
        m_view->setConnectScreenFactory([] { return new QLabel(QStringLiteral("connect screen")); });
        m_view->resize(1200, 800);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void cleanupTestCase() { m_view.reset(); }

    void init()
    {
        select(std::nullopt);
        m_windowManager.setBottomView(BottomView::None);
        m_windowManager.setSideView(SideView::None);
        m_windowManager.setExpandBottomView(false);
    }

    void anExchangeSplitsIntoPanesThatTurnAndFilter()
    {
        select(m_plain);
        QVERIFY(entry() && entry()->split());
        QVERIFY(!entry()->noSelectionLabel()->isVisible());

        // An ID without exchange says so, without toolbar or panes.
        select(QUuid::createUuid());
        QVERIFY(entry()->noSelectionLabel()->isVisible());
        QVERIFY(!entry()->toolbar()->isVisible());
        QVERIFY(!entry()->split());

        // The split turns, and the filter segments choose its panes.
        select(m_plain);
        DetailsToolbar *toolbar = entry()->toolbar();
        QCOMPARE(entry()->split()->orientation(), Qt::Vertical);
        QCOMPARE(entry()->split()->widget(0), entry()->requestPane());
        QCOMPARE(entry()->split()->widget(1), entry()->responsePane());
        clickTab(entry()->requestPane(), DetailType::Body);
        QCOMPARE(pageText(entry()->requestPane()->bodyPane()), QString());

        QTest::mouseClick(toolbar->splitToggle(), Qt::LeftButton);
        QCOMPARE(entry()->split()->orientation(), Qt::Horizontal);
        QCOMPARE(entry()->split()->widget(0), entry()->requestPane());
        // The panes of the new split start at Info; assigning the same orientation keeps them.
        PayloadDetailsView *pane = entry()->requestPane();
        QCOMPARE(pane->selectedDetailType(), DetailType::Info);
        clickTab(pane, DetailType::Body);
        entry()->viewModel().setAlignment(DetailsToolbar::Alignment::Vertical);
        QCOMPARE(entry()->requestPane(), pane);
        QCOMPARE(pane->selectedDetailType(), DetailType::Body);
        QTest::mouseClick(toolbar->splitToggle(), Qt::LeftButton);
        QCOMPARE(entry()->split()->orientation(), Qt::Vertical);

        // The filter segments choose the panes and outlive the exchange.
        QTest::mouseClick(toolbar->filterSegment(DetailsToolbar::Filter::Request), Qt::LeftButton);
        QVERIFY(entry()->requestPane() && !entry()->responsePane());
        QVERIFY(toolbar->filterSegment(DetailsToolbar::Filter::Request)->isChecked());
        select(m_single);
        QCOMPARE(entry()->viewModel().filter(), DetailsToolbar::Filter::Request);
        QVERIFY(!entry()->responsePane());
        QTest::mouseClick(toolbar->filterSegment(DetailsToolbar::Filter::All), Qt::LeftButton);
        QVERIFY(entry()->requestPane() && entry()->responsePane());
    }

    void tabsAreOfferedByContentAndTheChoiceStays()
    {
        select(m_plain);
        QCOMPARE(entry()->requestPane()->availableDetailTypes(), (QList<DetailType>{DetailType::Info, DetailType::Body}));
        QVERIFY(entry()->requestPane()->tabStrip()->isVisible());
        select(m_cookieOnly);
        QCOMPARE(entry()->requestPane()->availableDetailTypes(), (QList<DetailType>{DetailType::Info, DetailType::Cookies, DetailType::Body}));
        select(m_rich);
        PayloadDetailsView *pane = entry()->requestPane();
        QCOMPARE(pane->availableDetailTypes(),
            (QList<DetailType>{DetailType::Info, DetailType::Headers, DetailType::Query, DetailType::Cookies, DetailType::Body}));
        clickTab(pane, DetailType::Cookies);
        QCOMPARE(highlighted(pane), QStringList{QStringLiteral("Cookies")});
        QCOMPARE(pane->infoPane()->properties().size(), 2);
        QCOMPARE(pane->infoPane()->properties().at(1).name, QStringLiteral(" token"));

        // Another exchange in the same pane keeps the tab, even where it is not offered.
        select(m_single);
        QCOMPARE(entry()->requestPane(), pane);
        QCOMPARE(pane->selectedDetailType(), DetailType::Cookies);
        QVERIFY(highlighted(pane).isEmpty());
        QCOMPARE(pane->infoPane()->table()->model()->rowCount(), 0);
        select(m_rich);
        QCOMPARE(highlighted(pane), QStringList{QStringLiteral("Cookies")});
    }

    // Responses keep joining the shown exchange: the response pane and the duration come with the
    // first, the picker with the second; it grows at its end and keeps the developer's choice,
    // never refilled from the start, until another exchange resets it.
    void responsesJoiningTheShownExchangeFillThePicker()
    {
        const QUuid id = QUuid::createUuid();
        m_repository.addRequest(request(id, QStringLiteral("https://shop.example/api/many")), kPeer);
        select(id);
        DetailsToolbar *toolbar = entry()->toolbar();
        QVERIFY(!entry()->responsePane());
        QVERIFY(!toolbar->duration()->isVisible());
        m_repository.addResponse(response(id, 1709634133.25, {}, QStringLiteral("0")), kPeer);
        QVERIFY(entry()->responsePane());
        QCOMPARE(toolbar->durationLabel()->text(), QStringLiteral("Duration: 0.2500 seconds"));
        QVERIFY(!toolbar->responsePicker()->isVisible());

        for (int i = 1; i < 3; ++i)
            m_repository.addResponse(response(id, 1709634133.0 + i, {}, QString::number(i)), kPeer);
        QVERIFY(toolbar->responsePicker()->isVisible());
        QComboBox *menu = toolbar->responseMenu();
        menu->setFocus();
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(entry()->viewModel().responseSelection(), 1);

        QSignalSpy inserted(menu->model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(menu->model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(menu->model(), &QAbstractItemModel::modelReset);
        for (int i = 3; i < 6; ++i)
            m_repository.addResponse(response(id, 1709634133.0 + i, {}, QString::number(i)), kPeer);
        QCOMPARE(inserted.size(), 3);
        QCOMPARE(removed.size() + reset.size(), 0);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(menu->itemText(i), QString::number(i));
        QCOMPARE(menu->count(), 6);
        QCOMPARE(menu->currentIndex(), 1);
        auto *shown = static_cast<const ResponseDetails *>(&entry()->responsePane()->details());
        QCOMPARE(shown->response().data(), std::optional<QString>(QStringLiteral("1")));
        QCOMPARE(toolbar->durationLabel()->text(), QStringLiteral("Duration: 5.0000 seconds"));

        select(m_single);
        QCOMPARE(entry()->viewModel().responseSelection(), 0);
        QVERIFY(!toolbar->responsePicker()->isVisible());
        QCOMPARE(toolbar->durationLabel()->text(), QStringLiteral("Duration: 0.0000 seconds"));
        select(m_cookieOnly);
        QVERIFY(!toolbar->duration()->isVisible());

        select(id);
        m_repository.clear();
        QVERIFY(entry()->noSelectionLabel()->isVisible());
        fill();
    }

    // The body viewer shows the text verbatim, whole however big, and follows the palette.
    void theBodyTabShowsTheTextVerbatim()
    {
        QString big;
        big.reserve(10 * 1024 * 1024 + 64);
        for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
            big += QStringLiteral("{\"row\": %1, \"text\": \"caf\u00e9 \\\"q\\\"\"},\n").arg(i);
        const QUuid bigID = QUuid::createUuid();
        m_repository.addRequest(request(bigID, QStringLiteral("https://shop.example/api/big"), {}, big), kPeer);

        select(m_rich);
        PayloadDetailsView *pane = entry()->requestPane();
        clickTab(pane, DetailType::Body);
        QVERIFY(pane->bodyPane());
        QVERIFY(!pane->infoPane());
        QCOMPARE(pageText(pane->bodyPane()), m_richBody);
        QVERIFY(pane->bodyPane()->viewModel().readOnly());
        QVERIFY(pane->bodyPane()->viewModel().lineWrapping());

        // Another exchange replaces the text; one without a body shows the empty text.
        select(m_cookieOnly);
        QCOMPARE(pageText(pane->bodyPane()), QString());
        select(bigID);
        const QString back = pageText(pane->bodyPane());
        QCOMPARE(back.size(), big.size());
        QVERIFY(back == big);

        // Leaving the tab ends the viewer.
        clickTab(pane, DetailType::Info);
        QVERIFY(!pane->bodyPane());

        select(m_rich);
        const QPalette light = m_view->palette();
        m_view->setPalette(ShellPalette::dark());
        PayloadDetailsView *answer = entry()->responsePane();
        clickTab(answer, DetailType::Body);
        QVERIFY(answer->bodyPane()->viewModel().darkMode());
        QCOMPARE(pageText(answer->bodyPane()), QStringLiteral("[1]"));
        saveArtifact(m_view.get(), QStringLiteral("details-dark.png"));
        m_view->setPalette(light);
        QVERIFY(!answer->bodyPane()->viewModel().darkMode());
        clickTab(answer, DetailType::Info);
    }

    void aThousandHeadersAndAHugeValueStayWholeForCopying()
    {
        QList<Header> headers;
        for (int i = 0; i < 999; ++i)
            headers.append({QStringLiteral("X-%1").arg(i), QStringLiteral("v")});
        const QString huge = QString(1024 * 1024, u'a') + QStringLiteral("<b>end</b>");
        headers.append({QStringLiteral("X-Huge"), huge});
        const QUuid id = QUuid::createUuid();
        m_repository.addRequest(request(id, QStringLiteral("https://shop.example/api/many"), headers), kPeer);
        select(id);
        PayloadDetailsView *pane = entry()->requestPane();
        clickTab(pane, DetailType::Headers);
        QAbstractItemModel *model = pane->infoPane()->table()->model();
        QCOMPARE(model->rowCount(), 1000);
        const QModelIndex last = model->index(999, 1);
        QCOMPARE(last.data().toString().size(), PayloadInfoModel::kDisplayLimit + 1);
        QVERIFY(!last.data(Qt::ToolTipRole).toString().contains(QStringLiteral("<b>")));
        pane->infoPane()->copyAsCSV();
        QVERIFY(QApplication::clipboard()->text().endsWith(QStringLiteral("\nX-Huge,") + huge));
        clickTab(pane, DetailType::Info);
    }

    void copyMenusPutExactlyTheTextOnTheClipboardAndAUrlOpensItsExplorer()
    {
        select(m_rich);
        PayloadDetailsView *pane = entry()->requestPane();
        clickTab(pane, DetailType::Headers);
        PayloadInfoView *table = pane->infoPane();
        QTableView *view = table->table();
        auto *earlier = new QMimeData;
        earlier->setHtml(QStringLiteral("<b>earlier</b>"));
        QApplication::clipboard()->setMimeData(earlier);

        const QPoint row = view->visualRect(view->model()->index(1, 1)).center();
        std::unique_ptr<QMenu> menu(table->makeContextMenu(row));
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Copy key"));
        menu->actions().at(1)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("text/html, charset=utf-8"));
        menu->actions().at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Content-Type"));

        std::unique_ptr<QMenu> whole(table->makeContextMenu(QPoint(5, view->viewport()->height() - 2)));
        QCOMPARE(whole->actions().size(), 1);
        QCOMPARE(whole->actions().at(0)->text(), QStringLiteral("Copy as CSV"));
        whole->actions().at(0)->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
            QStringLiteral("Key,Value\nAccept,application/json\nContent-Type,\"text/html, charset=utf-8\""));
        QVERIFY(!QApplication::clipboard()->mimeData()->hasHtml());

        // A URL value opens its explorer page, never itself.
        clickTab(pane, DetailType::Info);
        view = pane->infoPane()->table();
        const QModelIndex url = view->model()->index(1, 1);
        QCOMPARE(view->model()->index(1, 0).data().toString(), QStringLiteral("url"));
        QVERIFY(url.data(Qt::ToolTipRole).toString().contains(QStringLiteral("size=M&amp;q=a+b")));
        m_opened.clear();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(url).center());
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened.first().toString(QUrl::FullyEncoded),
            QStringLiteral("https://www.example.com/api/explorer/endpoint?q=api/catalog/token/variants"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(0, 1)).center());
        QCOMPARE(m_opened.size(), 1);
    }

    void theBottomPaneExpandsAndResetsAndTheSidePanelStandsRight()
    {
        int consoles = 0;
        m_view->setBottomPaneFactory(BottomView::Console, [&consoles] {
            ++consoles;
            return new QLabel(QStringLiteral("console"));
        });
        select(m_rich);
        entry()->viewModel().setFilter(DetailsToolbar::Filter::Response);
        m_windowManager.toggleBottomView(BottomView::Console);
        QCOMPARE(consoles, 1);
        QVERIFY(m_view->bottomArea()->isVisible());
        QVERIFY(m_view->bottomArea()->height() >= MorvendaDetailsView::kBottomMinHeight);
        QVERIFY(m_view->bottomArea()->height() <= MorvendaDetailsView::kBottomMaxHeight);

        m_windowManager.setExpandBottomView(true);
        QVERIFY(!m_view->detailsView());
        QCOMPARE(m_view->bottomArea()->maximumHeight(), QWIDGETSIZE_MAX);
        QTRY_VERIFY(m_view->bottomArea()->height() > MorvendaDetailsView::kBottomMaxHeight);
        m_windowManager.setExpandBottomView(false);
        QVERIFY(entry());
        QCOMPARE(entry()->viewModel().filter(), DetailsToolbar::Filter::All);
        QCOMPARE(consoles, 1);

        // An equal assignment keeps the pane; switching away and back makes a new one.
        m_windowManager.setBottomView(BottomView::Console);
        QCOMPARE(consoles, 1);
        m_windowManager.setBottomView(BottomView::Metrics);
        QVERIFY(m_view->bottomArea()->isVisible());
        QVERIFY(!m_view->bottomPane());
        m_windowManager.setBottomView(BottomView::Console);
        QCOMPARE(consoles, 2);

        // The side panel stands right of the details, within its bounds.
        m_view->setSidePanelFactory(SideView::User, [] { return new QLabel(QStringLiteral("user panel")); });
        m_view->setSidePanelFactory(SideView::Deeplink, [] { return new QLabel(QStringLiteral("deeplink panel")); });
        select(m_plain);
        m_windowManager.toggle(SideView::User);
        QVERIFY(m_view->sideArea()->isVisible());
        QCOMPARE(qobject_cast<QLabel *>(m_view->sidePanel())->text(), QStringLiteral("user panel"));
        QVERIFY(m_view->sideArea()->width() >= MorvendaDetailsView::kSideMinWidth);
        QVERIFY(m_view->sideArea()->width() <= MorvendaDetailsView::kSideMaxWidth);
        QVERIFY(m_view->sideArea()->x() > m_view->mainSplit()->x());
        QTest::mouseClick(entry()->toolbar()->splitToggle(), Qt::LeftButton);
        m_windowManager.toggle(SideView::Deeplink);
        QCOMPARE(qobject_cast<QLabel *>(m_view->sidePanel())->text(), QStringLiteral("deeplink panel"));
        m_windowManager.toggle(SideView::Deeplink);
        QVERIFY(!m_view->sideArea()->isVisible());
    }

    void areasShownBeforeTheColumnHasASizeStartAtTheirIdealExtent()
    {
        WindowManager windowManager;
        windowManager.setBottomView(BottomView::Console);
        windowManager.setSideView(SideView::Settings);
        MorvendaDetailsView column(m_repository, windowManager);
        column.resize(1200, 800);
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        QTRY_COMPARE(column.bottomArea()->height(), MorvendaDetailsView::kBottomIdealHeight);
        QTRY_COMPARE(column.sideArea()->width(), MorvendaDetailsView::kSideIdealWidth);
        QVERIFY(column.detailsView()->height() > 300);
    }
};

QTEST_MAIN(TestDetailsView)
#include "tst_detailsview.moc"
