// The three remote panels as a developer uses them, offscreen: chips, search and count of the
// settings panel, typing, switching and copying in the deeplink panel, sends over a real socket,
// panels shown again and again, the side area and the panel window, and screenshots.
#include "RemoteFixture.h"

#include "../support/Artifacts.h"
#include "../support/SceneFixture.h"

#include "MorvendaApp/MainScene/MainWindow.h"
#include "MorvendaApp/MainScene/PanelWindow.h"
#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/remote/MilestoneListViewModel.h"
#include "MorvendaApp/remote/SettingsListViewModel.h"
#include "MorvendaApp/remote/ui/Chip.h"
#include "MorvendaApp/remote/ui/DeeplinkItemView.h"
#include "MorvendaApp/remote/ui/DeeplinkListView.h"
#include "MorvendaApp/remote/ui/MilestoneListView.h"
#include "MorvendaApp/remote/ui/SettingDelegate.h"
#include "MorvendaApp/remote/ui/SettingsListView.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

using State = Setting::BoolState;

namespace {

QList<Setting> dozen()
{
    using V = Setting::Value;
    return {
        ScriptedPeer::boolSetting(QStringLiteral("checkout.express"), State::On),
        ScriptedPeer::boolSetting(QStringLiteral("home.carousel")),
        ScriptedPeer::boolSetting(QStringLiteral("search.typo_tolerance"), State::Off, State::On),
        ScriptedPeer::boolSetting(QStringLiteral("cart.reminders"), State::Server, State::On),
        ScriptedPeer::numberSetting(QStringLiteral("cart.max_items"), 50),
        ScriptedPeer::numberSetting(QStringLiteral("search.page_size"), 24, 48),
        ScriptedPeer::numberSetting(QStringLiteral("promo.discount_rate"), 0.15),
        ScriptedPeer::stringSetting(QStringLiteral("home.banner_text"), QStringLiteral("Spring sale")),
        ScriptedPeer::stringSetting(QStringLiteral("checkout.payment_provider"), QStringLiteral("stripe"), QStringLiteral("adyen")),
        ScriptedPeer::stringSetting(QStringLiteral("support.email"), QStringLiteral("help@example.com")),
        ScriptedPeer::setting(QStringLiteral("orders.history_days"), V::number(90), V::boolean(State::Server)),
        ScriptedPeer::boolSetting(QStringLiteral("profile.new_avatar")),
    };
}

QList<Milestone> five()
{
    const double day = 86400;
    const double start = 1709647629;
    return {ScriptedPeer::milestone(QStringLiteral("first_order_placed"), 1, start, start),
        ScriptedPeer::milestone(QStringLiteral("orders_placed"), 17, start, start + 30 * day),
        ScriptedPeer::milestone(QStringLiteral("wishlist_items_added"), 1000000, start - day, start + 2 * day),
        ScriptedPeer::milestone(QStringLiteral("app_opened"), 243),
        ScriptedPeer::milestone(QStringLiteral("a_rather_long_milestone_key_that_needs_two_lines_to_be_read_in_full_in_the_panel"),
            -3, start)};
}

void screenshots(QWidget &panel, const QString &name)
{
    for (bool dark : {false, true}) {
        useScheme(dark);
        QCoreApplication::processEvents();
        saveArtifact(&panel, name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
    }
    useScheme(false);
}

// Clicks inside the part of a settings row that `pick` chooses.
void clickRowPart(SettingsListView &panel, int row, const std::function<QRect(const SettingDelegate::Geometry &)> &pick)
{
    QListView *list = panel.list();
    const QModelIndex index = list->model()->index(row, 0);
    auto *delegate = static_cast<SettingDelegate *>(list->itemDelegate());
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualRect(index);
    option.font = list->font();
    const Setting setting = panel.viewModel().items().at(row);
    const QRect part = pick(delegate->geometry(option, setting, panel.viewModel().row(setting)));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, part.center());
}

} // namespace

class tst_RemotePanels : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useScheme(false); }
    // Separators, "key=value" texts and the like are their own keys: none may be reported missing;
    // and the settings rows' field editor is closed once, by the view that opened it.
    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("no text for key")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("does not belong to this view")));
    }
    void settingsChipsSearchCountAndSend();
    void deeplinkRowsTypeSwitchCopyAndSend();
    void sideAreaAndWindowAreIndependent();
    void aGoneAppIsShownAndOffersNoSend();
    void thePopOutButtonCoversNoRow();
};

void tst_RemotePanels::settingsChipsSearchCountAndSend()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.settings.storeSettings(QStringLiteral("Shop"), dozen());
    SettingsListView panel(tool.listener, tool.settings);
    panel.resize(400, 820);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(panel.countLabel()->text(), QStringLiteral("12/12"));
    screenshots(panel, QStringLiteral("settings-panel"));

    ChipButton *boolChip = panel.chips().at(0);
    ChipButton *stringChip = panel.chips().at(1);
    QTest::mouseClick(boolChip, Qt::LeftButton);
    QVERIFY(boolChip->isSelected());
    QCOMPARE(panel.countLabel()->text(), QStringLiteral("5/12"));
    QTest::mouseClick(stringChip, Qt::LeftButton);
    QVERIFY(stringChip->isSelected() && !boolChip->isSelected());
    QCOMPARE(panel.countLabel()->text(), QStringLiteral("3/12"));
    QTest::mouseClick(stringChip, Qt::LeftButton);
    QVERIFY(!stringChip->isSelected());
    QCOMPARE(panel.countLabel()->text(), QStringLiteral("12/12"));

    QTest::mouseClick(panel.chips().at(3), Qt::LeftButton); // overriding
    QTest::keyClicks(panel.searchField(), QStringLiteral("CHECKOUT"));
    QCOMPARE(panel.countLabel()->text(), QStringLiteral("2/12"));
    QTest::keyClicks(panel.searchField(), QStringLiteral("zz"));
    QCOMPARE(panel.emptyLabel()->text(), QStringLiteral("No setting match for current search."));
    QVERIFY(panel.emptyLabel()->isVisible());
    panel.searchField()->clear();
    QTest::mouseClick(panel.chips().at(3), Qt::LeftButton);
    QVERIFY(panel.list()->isVisible());

    // Rows send what is tapped.
    clickRowPart(panel, 0, [](const SettingDelegate::Geometry &g) { return g.chips[2]; }); // "off"
    QTRY_COMPARE(tool.commands().size(), 1);
    QCOMPARE(tool.commands().at(0),
        QByteArrayLiteral(R"({"settingOverride":{"key":"checkout.express","value":{"boolean":"off"}}})"));

    // Type into the numeric row's field, then press its send button.
    clickRowPart(panel, 4, [](const SettingDelegate::Geometry &g) { return g.field; });
    auto *editor = panel.list()->viewport()->findChild<QLineEdit *>(QStringLiteral("settingValueField"));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("1e3"));
    QTRY_VERIFY(panel.viewModel().row(panel.viewModel().items().at(4)).sendEnabled());
    QCoreApplication::processEvents();
    clickRowPart(panel, 4, [](const SettingDelegate::Geometry &g) { return g.send; });
    QTRY_COMPARE(tool.commands().size(), 2);
    QCOMPARE(tool.commands().at(1),
        QByteArrayLiteral(R"({"settingOverride":{"key":"cart.max_items","value":{"number":1000}}})"));
}

void tst_RemotePanels::deeplinkRowsTypeSwitchCopyAndSend()
{
    RemoteFixture tool;
    DeeplinkListView panel(tool.listener);
    panel.resize(420, 640);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(panel.rows().size(), 32);
    QTest::keyClicks(panel.filterField(), QStringLiteral("order"));
    QCOMPARE(panel.rows().size(), 4);
    DeeplinkItemView *details = panel.row(Deeplinks::Case::OrderDetails);
    QVERIFY(details);
    QVERIFY(!details->sendButton()->isEnabled());
    QTest::keyClicks(details->inputFields().first(), QStringLiteral("abc"));
    screenshots(panel, QStringLiteral("deeplink-panel-order"));

    details->copyButton()->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://staging.example.com/user/account/orders/abc"));
    // With an app, the send button sends the same link.
    QVERIFY(tool.connectApp());
    QVERIFY(details->sendButton()->isEnabled());
    QTest::mouseClick(details->sendButton(), Qt::LeftButton);
    QTRY_COMPARE(tool.commands().size(), 1);
    QCOMPARE(tool.commands().first(),
        QByteArrayLiteral("{\"runDeeplink\":\"https://staging.example.com/user/account/orders/abc\"}"));
    QTest::mouseClick(panel.environmentButton(DeeplinkEnvironment::Production), Qt::LeftButton);
    details->copyButton()->copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://www.example.com/user/account/orders/abc"));

    // Filtered away and back, the row starts empty.
    QTest::keyClicks(panel.filterField(), QStringLiteral("x"));
    QCOMPARE(panel.rows().size(), 0);
    panel.filterField()->setText(QStringLiteral("order"));
    QVERIFY(panel.row(Deeplinks::Case::OrderDetails)->inputFields().first()->text().isEmpty());

    QSignalSpy alerts(&tool.listener, &MorvendaListener::alertViewStateChanged);
    QTest::mouseClick(panel.helpButton(), Qt::LeftButton);
    QCOMPARE(alerts.size(), 1);
    QCOMPARE(tool.listener.alertViewState()->message->size(), 360);
}

// A panel shown in the side area and in its own window is two panels. The side pane's own button
// collapses the window into the side area: the pane, and the button with it, leave synchronously
// on the way, and the main window stays.
void tst_RemotePanels::sideAreaAndWindowAreIndependent()
{
    SceneFixture fixture;
    WindowManager &windows = fixture.shared->windowManager;
    MainScene &scene = *fixture.scene;
    scene.mainWindow()->resize(1280, 760);
    scene.show();
    const auto panelIn = [](QWidget *top, const char *className) -> QWidget * {
        for (QWidget *widget : top->findChildren<QWidget *>()) {
            if (widget->inherits(className))
                return widget;
        }
        return nullptr;
    };
    const QList<std::pair<SideView, const char *>> panels = {{SideView::Deeplink, "DeeplinkListView"},
        {SideView::Settings, "SettingsListView"}, {SideView::Milestone, "MilestoneListView"}};
    for (const auto &[view, className] : panels) {
        scene.openPanelWindow(view);
        windows.open(view);
        windows.setSideView(view);
        QCoreApplication::processEvents();
        const QPointer<QWidget> side = panelIn(scene.mainWindow(), className);
        QVERIFY(side);
        QWidget *inWindow = panelIn(scene.panelWindow(view), className);
        QVERIFY(inWindow && inWindow != side);
        saveArtifact(scene.mainWindow(), QStringLiteral("main-window-side-%1.png").arg(rawValue(view)));

        side->parentWidget()->findChild<ExternalWindowButton *>()->click();
        QVERIFY(!side);
        QVERIFY(scene.mainWindow()->isVisible());
        QCOMPARE(windows.sideView(), view);
        QVERIFY(panelIn(scene.mainWindow(), className));
    }
}

// Panels shown again and again follow the app's reports once. When the active app disconnects it
// stays the active one (its data stays on show), but every panel says it is gone and offers no
// send, until it connects again under its name.
void tst_RemotePanels::aGoneAppIsShownAndOffersNoSend()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    SettingsListView settings(tool.listener, tool.settings);
    DeeplinkListView deeplinks(tool.listener);
    MilestoneListView milestones(tool.listener, tool.milestones);
    const QList<QWidget *> panels = {&settings, &deeplinks, &milestones};
    for (int i = 0; i < 100; ++i) {
        for (QWidget *panel : panels) {
            panel->show();
            panel->hide();
        }
    }
    for (QWidget *panel : panels) {
        panel->resize(400, 600);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel));
    }
    QSignalSpy settingsItems(&settings.viewModel(), &SettingsListViewModel::itemsChanged);
    QSignalSpy milestoneItems(&milestones.viewModel(), &MilestoneListViewModel::itemsChanged);
    tool.app.settings(dozen());
    tool.app.milestones(five());
    QTRY_COMPARE(milestoneItems.size(), 1);
    QCOMPARE(settingsItems.size(), 1);
    const auto notes = [&] {
        QStringList texts;
        for (QWidget *panel : panels)
            texts.append(panel->findChild<PanelTopStrip *>()->note());
        return texts;
    };
    DeeplinkItemView *home = deeplinks.row(Deeplinks::Case::Home);
    QCOMPARE(notes(), QStringList(3, QString()));
    QVERIFY(settings.viewModel().canSend() && home->sendButton()->isEnabled());

    tool.app.socket().disconnectFromHost();
    QTRY_COMPARE(notes(), QStringList(3, QStringLiteral("Shop has disconnected")));
    QVERIFY(!settings.viewModel().canSend());
    QVERIFY(!home->sendButton()->isEnabled());
    QCOMPARE(settings.viewModel().items().size(), 12);

    QSignalSpy alerts(&tool.listener, &MorvendaListener::alertViewStateChanged);
    clickRowPart(settings, 0, [](const SettingDelegate::Geometry &g) { return g.chips[2]; });
    settings.viewModel().sendBoolOverride(settings.viewModel().items().at(0), State::On);
    QCoreApplication::processEvents();
    QCOMPARE(alerts.size(), 0);

    // Back under its name: the same panels send to it again.
    ScriptedPeer again;
    QVERIFY(again.connectTo(tool.listener.serverPort()));
    again.handshake(QStringLiteral("Shop"));
    QTRY_VERIFY(settings.viewModel().canSend());
    QCOMPARE(notes(), QStringList(3, QString()));
    QVERIFY(home->sendButton()->isEnabled());
    clickRowPart(settings, 0, [](const SettingDelegate::Geometry &g) { return g.chips[2]; });
    QTRY_COMPARE(again.frames().size(), 2); // the hello, then the override
    QVERIFY(again.frames().at(1).contains(R"("off")"));
    QCOMPARE(alerts.size(), 0);
}

// The pop-out button floats over the panel's top edge: it must leave the rows (and their copy
// buttons) free, in the side area as in a window.
void tst_RemotePanels::thePopOutButtonCoversNoRow()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.settings.storeSettings(QStringLiteral("Shop"), dozen());
    WindowManager windows;
    auto *settings = new SettingsListView(tool.listener, tool.settings);
    std::unique_ptr<QWidget> panel(applyExternalWindowModifier(settings, SideView::Settings, windows, {}));
    panel->resize(360, 640);
    panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    auto *button = panel->findChild<ExternalWindowButton *>();
    QVERIFY(button && button->isVisible());
    QVERIFY(button->geometry().bottom() < settings->list()->viewport()->mapTo(panel.get(), QPoint(0, 0)).y());
    saveArtifact(panel.get(), QStringLiteral("settings-pop-out-strip.png"));
}

QTEST_MAIN(tst_RemotePanels)
#include "tst_remotepanels.moc"
