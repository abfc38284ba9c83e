// The timeline column driven as a user would (offscreen): selection by click, selection that
// survives a filter, chips that wrap, the method and source menus, recording, clear, save and
// open through Qt's own file dialog, following new rows; and screenshots in both palettes.
#include "TimelineFixtures.h"
#include "tests/support/Artifacts.h"
#include "tests/support/LoopbackSession.h"
#include "tests/support/Pixels.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/session/FileHolder.h"
#include "MorvendaApp/session/SessionFile.h"
#include "MorvendaApp/session/ui/FileOpener.h"
#include "MorvendaApp/session/ui/FileSaver.h"
#include "MorvendaApp/timeline/ColoredMenuAction.h"
#include "MorvendaApp/timeline/FilterView.h"
#include "MorvendaApp/timeline/MessageSelection.h"
#include "MorvendaApp/timeline/QuickFilterChip.h"
#include "MorvendaApp/timeline/TimelineFooterView.h"
#include "MorvendaApp/timeline/TimelineItemDelegate.h"
#include "MorvendaApp/timeline/TimelineListView.h"
#include "MorvendaApp/timeline/TimelineToolbar.h"
#include "MorvendaApp/timeline/TimelineView.h"
#include "MorvendaApp/timeline/TimelineViewModel.h"
#include "MorvendaModel/ShownText.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

using namespace timelinefixtures;

namespace {

struct Column : LoopbackSession
{
    FileHolder fileHolder;
    MessageSelection selection;
    TimelineView view{listener, repository, fileHolder, logger, selection};

    explicit Column(QSize size = QSize(420, 600))
    {
        view.resize(size);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            qFatal("window not exposed");
    }

    void click(int row)
    {
        TimelineListView *list = view.list();
        const QRect rect = list->visualRect(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }

    QString footer() const { return view.footer()->text(); }
};

ColoredMenuAction *itemNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (auto *item = qobject_cast<ColoredMenuAction *>(action); item && item->text() == text)
            return item;
    }
    return nullptr;
}

// Every badge kind and footnote colour once.
const QString kGallery = QStringLiteral(
    "REQ 1 get /api/cart/items; RES 1 b1 200;"
    "REQ 2 post /api/checkout; RES 2 b2 200 cache;"
    "REQ 3 get /api/search?q=x; RES 3 b3 200; RES 4 b3 200; RES 5 b3 200;"
    "REQ 6 delete /api/cart/item/42; RES 6 b6 500;"
    "REQ 7 put /api/profile;"
    "RES 8 b8 200 network /api/orphan/response;"
    "RES 9 b9 - network /api/orphan/failure;"
    "REQ 10 get /api/multiple; RES 10 b10 200; RES 10 b10 200;"
    "REQ 11 get /api/four; RES 11 b11 200; RES 11 b11 200; RES 11 b11 200; RES 11 b11 200;"
    "REQ 12 get /api/six; RES 12 b12 200; RES 12 b12 200; RES 12 b12 200; RES 12 b12 200; RES 12 b12 200; RES 12 b12 200;"
    "REQ 13 get /api/a/very/long/path/that/does/not/fit/in/one/line/of/the/timeline/column/at/all");

// `top` at its own alpha times `opacity`, over the opaque `bottom`.
QColor blended(QColor top, qreal opacity, const QColor &bottom)
{
    const qreal a = top.alphaF() * opacity;
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)), float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

} // namespace

class TestTimelineView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { useScheme(false); }

    // A path or description an app sent may be megabytes long: the row lays out and draws as much
    // of it as a row can show, ending in "…", never half a surrogate pair; the store keeps it whole.
    void hugeTextsAreLaidOutAsFarAsARowShowsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isPath");
        const QString megabyte(1 << 20, QLatin1Char('p'));
        QTest::addRow("a megabyte path") << megabyte << true;
        QTest::addRow("a megabyte description") << megabyte << false;
        // U+1F6D2 as a surrogate pair straddling the cut (the path starts with "/").
        QTest::addRow("a path with a pair across the cut")
            << QString(ShownText::kMaxLength - 3, QLatin1Char('p')) + QString::fromUtf16(u"\U0001F6D2") + megabyte << true;
        QTest::addRow("a path just short enough") << QString(ShownText::kMaxLength - 1, QLatin1Char('p')) << true;
    }

    void hugeTextsAreLaidOutAsFarAsARowShowsThem()
    {
        QFETCH(QString, text);
        QFETCH(bool, isPath);
        Column c;
        // A description is what an analytics call's body names.
        const QString url = QStringLiteral("https://shop.example/") + (isPath ? text : QStringLiteral("api/event"));
        const std::optional<QString> body = isPath ? std::nullopt
                                                   : std::optional(QStringLiteral("\"event_key\" : \"") + text + QStringLiteral("\",\n"));
        c.repository.addRequest(Request(id(1), Url::fromText(url), Method::Post, std::nullopt, body, {}), QStringLiteral("App"));
        QTRY_COMPARE(c.view.viewModel().rowCount(), 1);
        const TimelineRowState state = c.view.viewModel().rowState(0);
        QVERIFY(isPath ? state.title.has_value() : state.description.has_value());
        const QString whole = isPath ? *state.title : *state.description;
        QCOMPARE_GE(whole.size(), text.size());

        QString shown = whole;
        if (whole.size() > ShownText::kMaxLength) {
            const qsizetype kept = whole.at(ShownText::kMaxLength - 2).isHighSurrogate() ? ShownText::kMaxLength - 2
                                                                                         : ShownText::kMaxLength - 1;
            shown = whole.first(kept) + QChar(0x2026);
        }
        QCOMPARE(ShownText::cut(whole), shown);
        TimelineRowState expected = state;
        (isPath ? expected.title : expected.description) = shown;
        for (const int width : {120, 400}) {
            const auto laidOut = TimelineItemDelegate::layout(state, width);
            const auto wanted = TimelineItemDelegate::layout(expected, width);
            QCOMPARE(laidOut.height, wanted.height);
            QCOMPARE(laidOut.title, wanted.title);
            QCOMPARE(laidOut.description, wanted.description);
        }
        // Painted as the list paints it: what was cut is drawn, and what was stored stays whole.
        QTRY_VERIFY(!c.view.list()->visualRect(0).isEmpty());
        c.view.list()->viewport()->repaint();
        QCOMPARE(c.view.list()->visualRect(0).height(),
                 TimelineItemDelegate::layout(expected, c.view.list()->viewport()->width()).height);
        const std::optional<Exchange> stored = c.repository.exchange(id(1));
        QCOMPARE(isPath ? stored->request()->url()->path() : *stored->description(), whole);
    }

    void clicksAndArrowKeysSelectAndTheSelectionSurvivesAFilter()
    {
        Column c;
        run(c.repository, QStringLiteral("REQ 1 get /a; RES 1 b1 200; RES 1 b1 200; REQ 2 post /b; REQ 3 get /c"));
        QTRY_COMPARE(c.view.viewModel().rowCount(), 3);
        QTRY_COMPARE(c.footer(), QStringLiteral("3 items"));

        // Hover help follows the row's layout.
        TimelineListView *list = c.view.list();
        const QRect row = list->visualRect(0);
        const auto parts = TimelineItemDelegate::layout(c.view.viewModel().rowState(0), row.width());
        const auto helpAt = [list](QPoint pos) {
            QHelpEvent event(QEvent::ToolTip, pos, list->viewport()->mapToGlobal(pos));
            QApplication::sendEvent(list->viewport(), &event);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QVERIFY(helpAt(row.topLeft() + parts.badge.center()).contains(QStringLiteral("Response received from network")));
        QVERIFY(helpAt(row.topLeft() + parts.footNote.center())
                    .contains(QStringLiteral("2 responses have been received for this request")));

        c.click(1);
        QCOMPARE(c.selection.messageID(), id(2));
        QCOMPARE(c.view.selectedIndex(), 1);
        QCOMPARE(list->selectedRow(), 1);
        QTRY_COMPARE(c.footer(), QStringLiteral("2 / 3 items"));

        // A filter that hides the selected row keeps the selection for when the row returns.
        FilterViewModel &filters = c.view.viewModel().filterViewModel();
        filters.methodFilter = Method::Get;
        filters.applyMethodFilter();
        QCOMPARE(c.selection.messageID(), id(2));
        QCOMPARE(c.view.selectedIndex(), std::nullopt);
        QCOMPARE(list->selectedRow(), std::nullopt);
        QTRY_COMPARE(c.footer(), QStringLiteral("2 (filter) - 1 (hidden items)"));
        filters.methodFilter = std::nullopt;
        filters.applyMethodFilter();
        QCOMPARE(c.view.selectedIndex(), 1);
        QCOMPARE(list->selectedRow(), 1);
        QTRY_COMPARE(c.footer(), QStringLiteral("2 / 3 items"));

        // A click on the selected row clears the selection.
        c.click(1);
        QCOMPARE(c.selection.messageID(), std::nullopt);
        QCOMPARE(list->selectedRow(), std::nullopt);
        QTRY_COMPARE(c.footer(), QStringLiteral("3 items"));

        c.click(0);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(c.selection.messageID(), id(2));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(c.selection.messageID(), id(3));
        QCOMPARE(list->selectedRow(), 2);
    }

    void chipsWrapAndTheMethodMenuFilters()
    {
        MessageRepository repository;
        FilterViewModel filters(repository);
        FilterView bar(filters);
        const auto rowsOfChips = [&bar] {
            QSet<int> tops;
            for (QuickFilterChip *chip : bar.chips())
                tops.insert(chip->mapTo(&bar, QPoint()).y());
            return tops.size();
        };
        bar.resize(600, bar.heightForWidth(600) > 0 ? bar.heightForWidth(600) : bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QTRY_COMPARE(rowsOfChips(), 1);
        bar.resize(150, 200);
        QTRY_VERIFY(rowsOfChips() >= 2);

        // Chips toggle and move; one at most is chosen.
        QTest::mouseClick(bar.chips().at(1), Qt::LeftButton);
        QCOMPARE(bar.quickFilter(), QuickFilter::Settings);
        QTest::mouseClick(bar.chips().at(3), Qt::LeftButton);
        QCOMPARE(bar.quickFilter(), QuickFilter::Other);
        QVERIFY(!bar.chips().at(1)->isChosen());
        QTest::mouseClick(bar.chips().at(3), Qt::LeftButton);
        QCOMPARE(bar.quickFilter(), std::nullopt);

        // The method menu sets and clears its filter.
        QToolButton *button = bar.menuButton();
        QMetaObject::invokeMethod(button->menu(), "aboutToShow");
        itemNamed(button->menu(), QStringLiteral("GET"))->trigger();
        QCOMPARE(button->text(), QStringLiteral("GET"));
        QCOMPARE(repository.predicateKeys(), (QList<PredicateRegister>{FilterViewModel::methodKey()}));

        QMetaObject::invokeMethod(button->menu(), "aboutToShow");
        ColoredMenuAction *none = itemNamed(button->menu(), QStringLiteral("No method filter"));
        QVERIFY(none);
        // Legible on a light menu: the text colour, not white.
        QCOMPARE(none->color(bar.palette()), namedColor(NamedColor::Primary, bar.palette()));
        none->trigger();
        QCOMPARE(button->text(), QString());
        QVERIFY(repository.predicateKeys().isEmpty());

        // The mode switch changes the placeholder and re-registers nothing while the field is empty.
        QMetaObject::invokeMethod(button->menu(), "aboutToShow");
        itemNamed(button->menu(), QStringLiteral("Filter for not containing text"))->trigger();
        QCOMPARE(bar.textField()->placeholderText(), QStringLiteral("Filter for not containing text"));
        QVERIFY(repository.predicateKeys().isEmpty());
    }

    void sourceMenuEntriesExclusivityAndClosedApps()
    {
        Column c;
        TimelineToolbar *toolbar = c.view.toolbar();
        QVERIFY(!toolbar->sourceButton()->isVisible());
        QVERIFY(c.view.message()->isVisible());

        // An app's name is text from outside: the menu and the button never render it.
        const QString name = QStringLiteral("<b>Shop</b> & Co");
        ScriptedPeer shop;
        const auto shopConnection = c.connectApp(shop, name);
        QVERIFY(shopConnection);
        const QString file = QStringLiteral("file:///tmp/a&b.json");
        c.fileHolder.appendFile(file);
        QTRY_VERIFY(toolbar->sourceButton()->isVisible());
        QVERIFY(!c.view.message()->isVisible());

        toolbar->rebuildSourceMenu();
        itemNamed(toolbar->sourceMenu(), file)->trigger();
        QCOMPARE(c.listener.activeConnection(), nullptr);
        QCOMPARE(c.fileHolder.openedFile(), file);
        QCOMPARE(toolbar->sourceButton()->text(), QStringLiteral("file:///tmp/a&&b.json"));
        toolbar->rebuildSourceMenu();
        itemNamed(toolbar->sourceMenu(), name)->trigger();
        QCOMPARE(c.listener.activeConnection()->displayName(), name);
        QCOMPARE(c.fileHolder.openedFile(), std::nullopt);
        QCOMPARE(toolbar->sourceButton()->text(), QStringLiteral("<b>Shop</b> && Co"));

        // Hovering its row in the menu shows the name as text, if at all.
        QMenu *menu = toolbar->sourceMenu();
        menu->popup(c.view.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(menu->isVisible());
        ColoredMenuAction *item = itemNamed(menu, name);
        QVERIFY(item);
        const QPoint centre = menu->actionGeometry(item).center();
        QWidget *row = menu->childAt(centre);
        QVERIFY(row);
        QHelpEvent hover(QEvent::ToolTip, row->mapFrom(menu, centre), menu->mapToGlobal(centre));
        QApplication::sendEvent(row, &hover);
        const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
        QVERIFY2(shown.isEmpty() || shown == name.toHtmlEscaped(), qPrintable(shown));
        QVERIFY2(!Qt::mightBeRichText(row->toolTip()), qPrintable(row->toolTip()));
        menu->close();

        // Apps that came and went stay listed: the menu, filled as it opens, lists every one in the
        // order they shook hands, marks the closed ones, and an app that comes back under its name
        // takes its place open.
        constexpr int kApps = 40;
        for (int i = 0; i < kApps; ++i) {
            ScriptedPeer app;
            QVERIFY(c.connectApp(app, QStringLiteral("App %1").arg(i)));
        }
        QTRY_VERIFY(std::none_of(c.listener.connections().cbegin() + 1, c.listener.connections().cend(),
                                 [](const auto &connection) { return connection->isOpen(); }));
        ScriptedPeer back;
        QVERIFY(back.connectTo(c.listener.serverPort()));
        back.handshake(QStringLiteral("App 7"));
        // The shop came first.
        QTRY_VERIFY(c.listener.connections().at(1 + 7)->isOpen());
        c.listener.select(c.listener.connections().at(1 + 7));

        menu->popup(c.view.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(menu->isVisible());
        QList<ColoredMenuAction *> apps;
        for (QAction *action : menu->actions()) {
            if (auto *item = qobject_cast<ColoredMenuAction *>(action); item && item->text().startsWith(QStringLiteral("App ")))
                apps.append(item);
        }
        QCOMPARE(apps.size(), kApps);
        const QColor blue = namedColor(NamedColor::Blue, menu->palette());
        for (int i = 0; i < kApps; ++i) {
            QCOMPARE(apps.at(i)->text(), QStringLiteral("App %1").arg(i));
            QCOMPARE(apps.at(i)->note(), i == 7 ? QString() : QStringLiteral("closed"));
            QCOMPARE(apps.at(i)->color(menu->palette()) == blue, i == 7);
        }
        menu->close();
    }

    // A file chosen while an app's exchange is shown, by the menu or by opening the file once
    // more, becomes the only source: no app stays active or marked, and the app's exchange leaves
    // the details. Choosing the app again lets the file's exchange go the same way.
    void aChosenFileIsTheOnlySource_data()
    {
        QTest::addColumn<bool>("byOpeningAgain");
        QTest::addRow("the file opened again") << true;
        QTest::addRow("the file's entry in the menu") << false;
    }

    void aChosenFileIsTheOnlySource()
    {
        QFETCH(bool, byOpeningAgain);
        Column c;
        ScriptedPeer shop;
        const auto app = c.connectApp(shop, QStringLiteral("Shop"));
        QVERIFY(app);
        c.listener.select(app);
        run(c.repository, QStringLiteral("REQ 1 get /app/a; REQ 2 get /app/b"), QStringLiteral("Shop"));
        const QString file = SessionFile::peerName(QStringLiteral("/tmp/session.json"));
        const QList<Payload> payloads{Payload::request(Request(id(3), url(QStringLiteral("/file/c")), Method::Get,
                                                               std::nullopt, std::nullopt, {}))};
        SessionFile::apply(payloads, file, c.repository, c.fileHolder);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);
        c.click(1);
        QCOMPARE(c.selection.messageID(), id(2));

        TimelineToolbar *toolbar = c.view.toolbar();
        if (byOpeningAgain) {
            SessionFile::apply(payloads, file, c.repository, c.fileHolder);
        } else {
            toolbar->rebuildSourceMenu();
            itemNamed(toolbar->sourceMenu(), file)->trigger();
        }
        QCOMPARE(c.fileHolder.openedFile(), file);
        QVERIFY2(!c.listener.activeConnection(), "the app is still the active connection");
        QCOMPARE(c.selection.messageID(), std::nullopt);
        QCOMPARE(toolbar->sourceButton()->text(), file);
        toolbar->rebuildSourceMenu();
        const QColor blue = namedColor(NamedColor::Blue, toolbar->sourceMenu()->palette());
        QVERIFY(itemNamed(toolbar->sourceMenu(), file)->color(toolbar->sourceMenu()->palette()) == blue);
        QVERIFY(itemNamed(toolbar->sourceMenu(), QStringLiteral("Shop"))->color(toolbar->sourceMenu()->palette()) != blue);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 1);
        QCOMPARE(c.view.viewModel().messageID(0), id(3));

        // The file's own exchange stays selected while the file is chosen again.
        c.click(0);
        SessionFile::apply(payloads, file, c.repository, c.fileHolder);
        QCOMPARE(c.selection.messageID(), id(3));
        c.listener.select(app);
        QCOMPARE(c.fileHolder.openedFile(), std::nullopt);
        QCOMPARE(c.selection.messageID(), std::nullopt);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);
    }

    void recordingTogglesAndClearEmptiesTheSelectionFirst()
    {
        Column c;
        SymbolButton *record = c.view.toolbar()->recordButton();
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(c.listener.timelineRecordingEnabled(), false);
        QVERIFY(c.view.message()->text().startsWith(QStringLiteral("Timeline recording has been paused.")));
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(c.listener.timelineRecordingEnabled(), true);
        QVERIFY(c.view.message()->text().startsWith(QStringLiteral("No timeline data.")));

        QVERIFY(!c.view.toolbar()->clearButton()->isEnabled());
        run(c.repository, QStringLiteral("REQ 1 get /a; REQ 2 get /b"));
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);
        QVERIFY(c.view.toolbar()->clearButton()->isEnabled());
        c.click(0);

        QList<std::optional<QUuid>> selectionWhenCleared;
        connect(&c.repository, &MessageRepository::timelineReset, this,
                [&] { selectionWhenCleared.append(c.selection.messageID()); });
        QTest::mouseClick(c.view.toolbar()->clearButton(), Qt::LeftButton);
        QCOMPARE(selectionWhenCleared, QList<std::optional<QUuid>>{std::nullopt});
        QCOMPARE(c.view.viewModel().rowCount(), 0);
        QTRY_COMPARE(c.footer(), QStringLiteral("0 items"));
        QVERIFY(!c.view.toolbar()->clearButton()->isEnabled());
        QVERIFY(!c.view.toolbar()->saveButton()->isEnabled());
    }

    void saveThenOpenRoundTripsTheTimeline()
    {
        Column c;
        run(c.repository, QStringLiteral("REQ 1 get /a; RES 1 b1 200; REQ 2 post /b; REQ 3 get /hidden"));
        FilterViewModel &filters = c.view.viewModel().filterViewModel();
        filters.filterInput = QStringLiteral("hidden");
        filters.textFilter = TextFilter::FilterOut;
        filters.applyTextFilter();
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.json"));
        QFileDialog *save = c.view.toolbar()->saveSession()->panel();
        // Qt's own dialog, driven through its widgets.
        QTRY_VERIFY(save->isVisible());
        QVERIFY(save->findChild<QLineEdit *>());
        QVERIFY(save->selectedFiles().value(0).endsWith(QStringLiteral(".json")));
        save->selectFile(path);
        QMetaObject::invokeMethod(save, "accept");
        QTRY_VERIFY(QFile::exists(path));

        filters.filterInput = QString();
        filters.applyTextFilter();
        c.repository.clear();
        QFileDialog *open = c.view.toolbar()->openSession()->panel();
        QTRY_VERIFY(open->isVisible());
        open->selectFile(path);
        QMetaObject::invokeMethod(open, "accept");
        QTRY_COMPARE(c.fileHolder.files().size(), 1);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);
        QCOMPARE(c.view.viewModel().rowState(0).badge->subText, QStringLiteral("200"));
        QCOMPARE(c.view.viewModel().rowState(1).title, QStringLiteral("/b"));
        QCOMPARE(c.repository.timelineAt(0).peer(), c.fileHolder.files().first());
    }

    // Every member of a batch shows the batch's count. A batch of ten thousand grows with every
    // response; the window must keep up without a change signal (and a measurement of the last
    // page) per member and response, and every member's badge must still show the final count.
    void aGrowingBatchRedrawsItsMembersWithoutASignalEach()
    {
        Column c;
        TimelineViewModel &model = c.view.viewModel();
        constexpr uint kMembers = 10'000;
        for (uint n = 1; n <= kMembers; ++n)
            run(c.repository, QStringLiteral("REQ %1 get /a/%1").arg(n));
        QTRY_COMPARE(model.rowCount(), int(kMembers));

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        for (uint n = 1; n <= kMembers; ++n) {
            run(c.repository, QStringLiteral("RES %1 b7 200").arg(n));
            if (n % 1000 == 0)
                QCoreApplication::processEvents();
        }
        // One replacement per response, plus at most one range per event-loop turn for the counts.
        QTRY_VERIFY(!changed.isEmpty() && changed.last().at(1).value<QModelIndex>().row() == int(kMembers) - 1);
        QVERIFY2(changed.count() <= int(kMembers) + 20, qPrintable(QString::number(changed.count())));

        // One more member: a single range update covers the ten thousand rows that show the count.
        changed.clear();
        run(c.repository, QStringLiteral("REQ %1 get /last; RES %1 b7 200").arg(kMembers + 1));
        QTRY_COMPARE(model.rowCount(), int(kMembers) + 1);
        QTRY_VERIFY(changed.count() >= 1);
        QVERIFY2(changed.count() <= 3, qPrintable(QString::number(changed.count())));

        const QString help = QStringLiteral("%1 duplicate requests were batched").arg(kMembers + 1);
        for (int row = 0; row < model.rowCount(); ++row) {
            const TimelineRowState state = model.rowState(row);
            QVERIFY2(state.badge && state.badge->help == help, qPrintable(QString::number(row)));
        }
        QCOMPARE(model.rowState(0).footNote->title, model.rowState(int(kMembers)).footNote->title);
    }

    // Rows painted before are drawn again from a picture: it must never show an older batch count,
    // palette or width than a list painting them for the first time.
    void rowsDrawnAgainShowTheirLatestState()
    {
        Column c;
        TimelineListView *list = c.view.list();
        const auto drawnAfresh = [&] {
            TimelineListView fresh(c.view.viewModel(), c.selection);
            fresh.resize(list->size());
            fresh.show();
            if (!QTest::qWaitForWindowExposed(&fresh))
                return QImage();
            QCoreApplication::processEvents();
            return fresh.viewport()->grab().toImage();
        };
        const auto drawn = [&] { return list->viewport()->grab().toImage(); };

        run(c.repository, QStringLiteral("REQ 1 get /a; REQ 2 get /b; RES 1 b7 200; RES 2 b7 200"));
        QTRY_COMPARE(c.view.viewModel().rowCount(), 2);
        QTRY_COMPARE(drawn(), drawnAfresh());
        const QImage twoMembers = drawn().copy(list->visualRect(0));

        run(c.repository, QStringLiteral("REQ 3 get /c; RES 3 b7 200"));
        QTRY_COMPARE(c.view.viewModel().rowCount(), 3);
        QTRY_COMPARE(drawn(), drawnAfresh());
        QVERIFY(drawn().copy(list->visualRect(0)) != twoMembers); // its marker says x3 now

        useScheme(true);
        QTRY_COMPARE(drawn(), drawnAfresh());
        useScheme(false);
        c.view.resize(300, 600);
        QTRY_COMPARE(drawn(), drawnAfresh());
    }

    // New rows are followed only at the bottom. The rows of a rebuilt list are other rows: the old
    // scroll position must not decide what shows.
    void theListFollowsTheBottomAndARebuiltListShowsItsSelectedRowOrItsBottom()
    {
        Column c(QSize(420, 400));
        TimelineListView *list = c.view.list();
        QScrollBar *bar = list->verticalScrollBar();
        for (uint n = 1; n <= 300; ++n)
            run(c.repository, QStringLiteral("REQ %1 get /item/%1").arg(n));
        // Arrivals are laid out at the frame rate: the last row on screen means they have been.
        QTRY_VERIFY(!list->visualRect(299).isEmpty());
        run(c.repository, QStringLiteral("REQ 301 get /new"));
        QTRY_VERIFY(!list->visualRect(300).isEmpty());
        bar->setValue(0);
        const int before = bar->maximum();
        for (uint n = 302; n <= 310; ++n)
            run(c.repository, QStringLiteral("REQ %1 get /b").arg(n));
        QTRY_VERIFY(bar->maximum() > before);
        QCOMPARE(bar->value(), 0);

        // Scrolled to item 200 and selected it; a filter typed in one turn rebuilds once and leaves
        // it at row 11 (1, 2, 20-29, 200-209, …).
        bar->setValue(199);
        c.click(199);
        QCOMPARE(c.selection.messageID(), id(200));
        QSignalSpy rebuilt(&c.repository, &MessageRepository::timelineReset);
        QTest::keyClicks(c.view.filterView()->textField(), QStringLiteral("item/2"));
        QCOMPARE(rebuilt.count(), 0);
        QTRY_COMPARE(rebuilt.count(), 1);
        QCOMPARE(c.view.viewModel().rowCount(), 111);
        QCOMPARE(list->selectedRow(), 11);
        QVERIFY(!list->visualRect(11).isEmpty());

        // Without a selected row among the new rows the rebuilt list opens at its bottom.
        c.click(11);
        QCOMPARE(c.selection.messageID(), std::nullopt);
        bar->setValue(0);
        QTest::keyClick(c.view.filterView()->textField(), Qt::Key_Backspace);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 300);
        QCOMPARE(bar->value(), bar->maximum());
        for (int n = 0; n < 5; ++n)
            QTest::keyClick(c.view.filterView()->textField(), Qt::Key_Backspace);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 310);
        QVERIFY(c.repository.predicateKeys().isEmpty());
    }

    void screenshots_data() { addSchemeRows(); }

    void screenshots()
    {
        QFETCH(bool, dark);
        useScheme(dark);
        Column c(QSize(460, 1000));
        ScriptedPeer shop;
        const auto shopConnection = c.connectApp(shop, QStringLiteral("Shop"));
        QVERIFY(shopConnection);
        run(c.repository, kGallery, QStringLiteral("Shop"));
        // A batch of three, from requests that each got one answer.
        run(c.repository, QStringLiteral("REQ 20 get /api/batched; REQ 21 get /api/batched; REQ 22 get /api/batched;"
                                         "RES 20 b20 200; RES 21 b20 200; RES 22 b20 200"),
            QStringLiteral("Shop"));
        c.listener.select(shopConnection);
        QTRY_COMPARE(c.view.viewModel().rowCount(), 16);
        c.click(1);
        c.view.list()->scrollToTop();
        QCoreApplication::processEvents();

        const QString palette = dark ? QStringLiteral("dark") : QStringLiteral("light");
        saveArtifact(&c.view, QStringLiteral("timeline-%1.png").arg(palette));
        // Every kind of badge the gallery holds is painted in its colour over the list's background
        // (the cached exchange's over the selection), and that background, the palette's, fills most
        // of the list.
        const QImage list = c.view.list()->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor background = c.view.list()->palette().color(QPalette::Base);
        QCOMPARE(background.lightness() < 128, dark);
        QVERIFY(pixelsNear(list, background) > qint64(list.width()) * list.height() / 2);
        const QColor selection = c.view.list()->palette().color(QPalette::Active, QPalette::Highlight);
        QVERIFY(pixelsNear(list, selection) >= 1000);
        for (const NamedColor color : {NamedColor::Green, NamedColor::Blue, NamedColor::Purple, NamedColor::Red,
                                       NamedColor::Orange, NamedColor::Gray}) {
            const QColor under = color == NamedColor::Blue ? selection : background;
            const QColor fill = blended(namedColor(color, c.view.palette()), 0.6, under);
            QVERIFY2(pixelsNear(list, fill) >= 100,
                     qPrintable(QStringLiteral("no badge of colour %1 (%2 over %3)").arg(int(color)).arg(fill.name(), under.name())));
        }
        useScheme(false);
    }
};

QTEST_MAIN(TestTimelineView)
#include "tst_timelineview.moc"
