// The three remote panels as a developer uses them, offscreen and without the main scene: chips,
// search and count of the settings panel, clicks and typing in its rows, typing, switching and
// copying in the deeplink panel, sends over a real socket, panels shown again and again, and
// screenshots.
#include "RemoteFixture.h"

#include "../support/Artifacts.h"

#include "MorvendaApp/components/CopyButton.h"
#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/PanelTopStrip.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/remote/MilestoneListViewModel.h"
#include "MorvendaApp/remote/SettingsListViewModel.h"
#include "MorvendaApp/remote/ui/Chip.h"
#include "MorvendaApp/remote/ui/PanelParts.h"
#include "MorvendaApp/remote/ui/DeeplinkItemView.h"
#include "MorvendaApp/remote/ui/DeeplinkListView.h"
#include "MorvendaApp/remote/ui/MilestoneDelegate.h"
#include "MorvendaApp/remote/ui/MilestoneListView.h"
#include "MorvendaApp/remote/ui/SettingDelegate.h"
#include "MorvendaApp/remote/ui/SettingsListView.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdlib>
#include <functional>

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

// Where the part of a settings row that `pick` chooses lies, in the list's viewport.
using PickPart = std::function<QRect(const SettingDelegate::Geometry &)>;
QRect rowPart(SettingsListView &panel, int row, const PickPart &pick)
{
    QListView *list = panel.list();
    const QModelIndex index = list->model()->index(row, 0);
    auto *delegate = static_cast<SettingDelegate *>(list->itemDelegate());
    QStyleOptionViewItem option;
    option.initFrom(list->viewport());
    option.rect = list->visualRect(index);
    option.font = list->font();
    const Setting setting = panel.viewModel().items().at(row);
    return pick(delegate->geometry(option, setting, panel.viewModel().row(setting)));
}

// Clicks inside the part of a settings row that `pick` chooses.
void clickRowPart(SettingsListView &panel, int row, const PickPart &pick)
{
    QTest::mouseClick(panel.list()->viewport(), Qt::LeftButton, {}, rowPart(panel, row, pick).center());
}

QRect chip(const SettingDelegate::Geometry &g, int i)
{
    return g.chips[i];
}

// A settings panel of the connected app "Shop" reporting `settings`, shown.
struct ShownSettings
{
    RemoteFixture tool;
    std::unique_ptr<SettingsListView> panel;

    bool show(const QList<Setting> &settings)
    {
        if (!tool.connectApp())
            return false;
        tool.settings.storeSettings(QStringLiteral("Shop"), settings);
        panel = std::make_unique<SettingsListView>(tool.listener, tool.settings);
        panel->resize(400, 820);
        panel->show();
        return QTest::qWaitForWindowExposed(panel.get());
    }
};

// The deeplink panel on screen, at a size that shows its first rows and the picker.
struct ShownDeeplinks
{
    RemoteFixture tool;
    DeeplinkListView panel{tool.listener};

    bool show()
    {
        panel.resize(420, 640);
        panel.show();
        return QTest::qWaitForWindowExposed(&panel);
    }
};

// Pixels of `image` inside `area` that stand clearly apart from `background`.
int inkIn(const QImage &image, const QRect &area, const QColor &background)
{
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - background.red()) + std::abs(pixel.green() - background.green())
                    + std::abs(pixel.blue() - background.blue())
                > 90)
                ++ink;
        }
    }
    return ink;
}

int colourDistance(const QColor &a, const QColor &b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

QString previewLine(const DeeplinkItemView &row)
{
    QStringList out;
    for (QWidget *part : row.preview()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (auto *label = qobject_cast<QLabel *>(part))
            out.append(label->text());
        else if (auto *field = qobject_cast<QLineEdit *>(part))
            out.append(u'[' + field->placeholderText() + u']');
    }
    return out.join(u' ');
}

} // namespace

class tst_RemoteViews : public QObject
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
    void stateButtonsSendTheirState_data();
    void stateButtonsSendTheirState();
    void theCopyButtonCopiesTheKey();
    void aPressReleasedElsewhereDoesNothing();
    void returnInTheFieldSendsNothing();
    void longTextsReachTheAppWhole();
    void lineBreaksStayOnOneLine();
    void eachLineBreakBecomesOneSymbol_data();
    void eachLineBreakBecomesOneSymbol();
    void aShownSettingsPanelGoesCleanly();
    void previewsShowEveryPart();
    void theChosenEnvironmentStandsOut_data();
    void theChosenEnvironmentStandsOut();
    void theCopyConfirmationMovesNothing();
    void rowsKeepTheirControlsInViewAtEveryWidth_data();
    void rowsKeepTheirControlsInViewAtEveryWidth();
    void anUnparsableBaseCopiesAnEmptyText();
    void milestonePanelScreenshots();
    void milestoneRowsFitTheirKeys();
    void aGoneAppIsShownAndOffersNoSend();
    void thePopOutButtonCoversNoRow();
};

void tst_RemoteViews::settingsChipsSearchCountAndSend()
{
    ShownSettings shown;
    QVERIFY(shown.show(dozen()));
    RemoteFixture &tool = shown.tool;
    SettingsListView &panel = *shown.panel;
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

void tst_RemoteViews::deeplinkRowsTypeSwitchCopyAndSend()
{
    ShownDeeplinks shown;
    QVERIFY(shown.show());
    RemoteFixture &tool = shown.tool;
    DeeplinkListView &panel = shown.panel;
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

void tst_RemoteViews::stateButtonsSendTheirState_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QByteArray>("sent");
    const QByteArray head = "{\"settingOverride\":{\"key\":\"home.carousel\",\"value\":{\"boolean\":";
    QTest::addRow("server") << 0 << head + "\"server\"}}}";
    QTest::addRow("on") << 1 << head + "\"on\"}}}";
    QTest::addRow("off") << 2 << head + "\"off\"}}}";
}

void tst_RemoteViews::stateButtonsSendTheirState()
{
    QFETCH(int, button);
    QFETCH(QByteArray, sent);
    ShownSettings shown;
    QVERIFY(shown.show(dozen()));
    clickRowPart(*shown.panel, 1, [button](const SettingDelegate::Geometry &g) { return chip(g, button); });
    QTRY_COMPARE(shown.tool.commands().size(), 1);
    QCOMPARE(shown.tool.commands().first(), sent);
}

void tst_RemoteViews::theCopyButtonCopiesTheKey()
{
    ShownSettings shown;
    QVERIFY(shown.show({Setting(QStringLiteral("Checkout flow"), QStringLiteral("checkout.flow"), QStringLiteral("Ann Lee"),
        std::nullopt, Setting::Value::string(QStringLiteral("a")), Setting::Value::string(QStringLiteral("b")))}));
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    clickRowPart(*shown.panel, 0, [](const SettingDelegate::Geometry &g) { return g.copy; });
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("checkout.flow"));
}

// A button acts only when the press and the release both hit it.
void tst_RemoteViews::aPressReleasedElsewhereDoesNothing()
{
    ShownSettings shown;
    QVERIFY(shown.show(dozen()));
    QWidget *viewport = shown.panel->list()->viewport();
    const auto dragFromTo = [&](int fromRow, const PickPart &from, int toRow, const PickPart &to) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, rowPart(*shown.panel, fromRow, from).center());
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, rowPart(*shown.panel, toRow, to).center());
    };
    const auto on = [](const SettingDelegate::Geometry &g) { return chip(g, 1); };
    const auto off = [](const SettingDelegate::Geometry &g) { return chip(g, 2); };
    const auto server = [](const SettingDelegate::Geometry &g) { return chip(g, 0); };
    const auto field = [](const SettingDelegate::Geometry &g) { return g.field; };
    dragFromTo(0, on, 1, off);
    dragFromTo(1, server, 1, off);
    dragFromTo(4, field, 1, on);
    // Nothing went out: the first command is the click's.
    clickRowPart(*shown.panel, 1, on);
    QTRY_COMPARE(shown.tool.commands().size(), 1);
    QCOMPARE(shown.tool.commands().first(),
        QByteArrayLiteral(R"({"settingOverride":{"key":"home.carousel","value":{"boolean":"on"}}})"));
}

// Return in a value field sends nothing and closes nothing behind the view's back (init fails
// the test on the view's warning).
void tst_RemoteViews::returnInTheFieldSendsNothing()
{
    ShownSettings shown;
    QVERIFY(shown.show(dozen()));
    SettingsListView &panel = *shown.panel;
    clickRowPart(panel, 4, [](const SettingDelegate::Geometry &g) { return g.field; });
    const QPointer<QLineEdit> editor = panel.list()->viewport()->findChild<QLineEdit *>(QStringLiteral("settingValueField"));
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("7"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Enter);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(panel.viewModel().row(panel.viewModel().items().at(4)).fieldText, QStringLiteral("7"));
    clickRowPart(panel, 4, [](const SettingDelegate::Geometry &g) { return g.send; });
    QTRY_COMPARE(shown.tool.commands().size(), 1);
    QCOMPARE(shown.tool.commands().first(),
        QByteArrayLiteral(R"({"settingOverride":{"key":"cart.max_items","value":{"number":7}}})"));
}

// Fields whose text goes to the app take texts of any length, pasted as a developer would.
void tst_RemoteViews::longTextsReachTheAppWhole()
{
    ShownSettings shown;
    QVERIFY(shown.show(dozen()));
    SettingsListView &panel = *shown.panel;
    const QString value(200000, u'v');
    clickRowPart(panel, 7, [](const SettingDelegate::Geometry &g) { return g.field; });
    auto *editor = panel.list()->viewport()->findChild<QLineEdit *>(QStringLiteral("settingValueField"));
    QVERIFY(editor);
    editor->selectAll();
    QGuiApplication::clipboard()->setText(value);
    editor->paste();
    QCoreApplication::processEvents();
    clickRowPart(panel, 7, [](const SettingDelegate::Geometry &g) { return g.send; });
    QTRY_COMPARE(shown.tool.commands().size(), 1);
    const QByteArray sentValue = "{\"settingOverride\":{\"key\":\"home.banner_text\",\"value\":{\"string\":\""
        + value.toLatin1() + "\"}}}";
    QCOMPARE(shown.tool.commands().first(), sentValue);

    DeeplinkListView deeplinks(shown.tool.listener);
    deeplinks.show();
    DeeplinkItemView *support = deeplinks.row(Deeplinks::Case::Support);
    const QString paste(100 * 1024, u'c');
    QGuiApplication::clipboard()->setText(paste);
    support->inputFields().first()->paste();
    QTest::mouseClick(support->sendButton(), Qt::LeftButton);
    QTRY_COMPARE(shown.tool.commands().size(), 2);
    const QByteArray sentLink = "{\"runDeeplink\":\"https://staging.example.com/support?contact=" + paste.toLatin1() + "\"}";
    QCOMPARE(shown.tool.commands().at(1), sentLink);
}

// A name and a value with line breaks are drawn on one line each, inside their places.
void tst_RemoteViews::lineBreaksStayOnOneLine()
{
    ShownSettings shown;
    QVERIFY(shown.show({Setting(QStringLiteral("Checkout\nflow"), QStringLiteral("checkout.flow"), QStringLiteral("Ann Lee"),
        std::nullopt, Setting::Value::string(QStringLiteral("first\nsecond\r\nthird")),
        Setting::Value::string(QStringLiteral("first\nsecond\r\nthird")))}));
    SettingsListView &panel = *shown.panel;
    QCoreApplication::processEvents();
    const QImage image = panel.list()->viewport()->grab().toImage();
    const SettingDelegate::Geometry g = [&] {
        SettingDelegate::Geometry out;
        rowPart(panel, 0, [&out](const SettingDelegate::Geometry &geometry) {
            out = geometry;
            return QRect();
        });
        return out;
    }();
    saveArtifact(&panel, QStringLiteral("settings-line-breaks.png"));
    const QColor base = panel.list()->viewport()->palette().color(QPalette::Base);
    const auto band = [](const QRect &box, int top, int bottom) { return QRect(box.left(), top, box.width(), bottom - top + 1); };
    // The value's ink, inside the field's frame, is one line high.
    const QRect inside = g.field.adjusted(3, 2, -3, -2);
    int top = inside.bottom();
    int bottom = inside.top();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        if (inkIn(image, band(inside, y, y), base) > 0) {
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    const QFontMetrics body(PanelParts::font(panel.list()->font(), PanelParts::kBody));
    QVERIFY2(bottom - top + 1 <= body.height(), qPrintable(QString::number(bottom - top + 1)));
    QCOMPARE(inkIn(image, band(g.name, g.name.bottom() + 1, g.name.bottom() + 2), base), 0);
    // The whole name is there, its break as a symbol, not only its first line.
    const QFontMetrics bold(PanelParts::font(panel.list()->font(), PanelParts::kBody, true));
    const int firstLine = bold.horizontalAdvance(QStringLiteral("Checkout "));
    QVERIFY(inkIn(image, QRect(g.name.left() + firstLine, g.name.top(), g.name.width() - firstLine, g.name.height()), base) > 0);
}

void tst_RemoteViews::eachLineBreakBecomesOneSymbol_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    const QString mark(QChar(0x21B5));
    QTest::addRow("none") << QStringLiteral("a\tb c") << QStringLiteral("a\tb c");
    QTest::addRow("LF, CR LF, lone CR") << QStringLiteral("a\nb\r\nc\rd") << (u'a' + mark + u'b' + mark + u'c' + mark + u'd');
    QTest::addRow("CR CR LF") << QStringLiteral("a\r\r\nb") << (u'a' + mark + mark + u'b');
    QTest::addRow("VT, FF, NEL") << QStringLiteral("a\vb\fc\u0085d") << (u'a' + mark + u'b' + mark + u'c' + mark + u'd');
    QTest::addRow("line and paragraph separators") << QStringLiteral("a\u2028b\u2029") << (u'a' + mark + u'b' + mark);
}

// Every kind of line break shows as one symbol; a CR LF pair is one break.
void tst_RemoteViews::eachLineBreakBecomesOneSymbol()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(PanelParts::oneLine(text), shown);
}

// Closing a shown settings panel (the side area switching to another panel) asks nothing of its
// list while the list is being destroyed; the sanitizer build checks that.
void tst_RemoteViews::aShownSettingsPanelGoesCleanly()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.settings.storeSettings(QStringLiteral("Shop"), dozen());
    auto *side = new QWidget;
    auto *layout = new QVBoxLayout(side);
    auto *panel = new SettingsListView(tool.listener, tool.settings);
    layout->addWidget(panel);
    side->resize(400, 600);
    side->show();
    QVERIFY(QTest::qWaitForWindowExposed(side));
    clickRowPart(*panel, 4, [](const SettingDelegate::Geometry &g) { return g.field; });
    delete panel;
    layout->addWidget(new MilestoneListView(tool.listener, tool.milestones));
    QCoreApplication::processEvents();
    delete side;
}

void tst_RemoteViews::previewsShowEveryPart()
{
    ShownDeeplinks shown;
    QVERIFY(shown.show());
    DeeplinkListView &panel = shown.panel;
    for (DeeplinkItemView *row : panel.rows()) {
        QStringList expected;
        for (const DeeplinkPreviewPart &part : Deeplinks::previewParts(row->viewModel().deeplink()))
            expected.append(part.kind == DeeplinkPreviewPart::Kind::Field ? u'[' + part.text + u']' : part.text);
        QCOMPARE(previewLine(*row), expected.join(u' '));
    }
    QCOMPARE(previewLine(*panel.row(Deeplinks::Case::MultiUserAccountCreation)),
        QStringLiteral("/ welcome ? signUp=retailersubuser ? ifuit= [InvitationToken]"));
    QCOMPARE(previewLine(*panel.row(Deeplinks::Case::Home)), QString());
}

void tst_RemoteViews::theChosenEnvironmentStandsOut_data()
{
    addSchemeRows();
}

// The selected segment carries the chips' selection tint in both schemes, clearly apart from the
// other one.
void tst_RemoteViews::theChosenEnvironmentStandsOut()
{
    QFETCH(bool, dark);
    useScheme(dark);
    const auto restore = qScopeGuard([] { useScheme(false); });
    ShownDeeplinks shown;
    QVERIFY(shown.show());
    DeeplinkListView &panel = shown.panel;
    const QColor accent = panel.palette().color(QPalette::Highlight);
    const auto fills = [&] {
        const QImage shot = panel.grab().toImage();
        const auto fill = [&](QWidget *segment) {
            return shot.pixelColor(segment->mapTo(&panel, QPoint(3, segment->height() / 2)));
        };
        return std::pair{fill(panel.environmentButton(DeeplinkEnvironment::Staging)),
            fill(panel.environmentButton(DeeplinkEnvironment::Production))};
    };
    for (const DeeplinkEnvironment chosen : {DeeplinkEnvironment::Staging, DeeplinkEnvironment::Production}) {
        QTest::mouseClick(panel.environmentButton(chosen), Qt::LeftButton);
        saveArtifact(&panel, QStringLiteral("deeplink-environment-%1-%2.png")
                                 .arg(DeeplinkEnvironments::rawValue(chosen), dark ? QStringLiteral("dark") : QStringLiteral("light")));
        auto [staging, production] = fills();
        if (chosen == DeeplinkEnvironment::Production)
            std::swap(staging, production);
        QVERIFY2(colourDistance(staging, production) >= 60,
            qPrintable(staging.name() + QStringLiteral(" against ") + production.name()));
        QVERIFY(colourDistance(staging, accent) < colourDistance(production, accent));
    }
}

// "Copied to Pasteboard!" shows after the copy symbol, which stays where it was.
void tst_RemoteViews::theCopyConfirmationMovesNothing()
{
    ShownDeeplinks shown;
    QVERIFY(shown.show());
    DeeplinkListView &panel = shown.panel;
    DeeplinkItemView *home = panel.row(Deeplinks::Case::Home);
    auto *symbol = home->copyButton()->findChild<QToolButton *>();
    const QPoint before = symbol->mapTo(&panel, QPoint(0, 0));
    QTest::mouseClick(symbol, Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(home->copyButton()->findChild<QLabel *>(QStringLiteral("confirmation"))->isVisible());
    saveArtifact(&panel, QStringLiteral("deeplink-copied.png"));
    QCOMPARE(symbol->mapTo(&panel, QPoint(0, 0)), before);
}

void tst_RemoteViews::rowsKeepTheirControlsInViewAtEveryWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addRow("the window's 300-pixel minimum") << 300;
    QTest::addRow("a width between") << 340;
    QTest::addRow("the window's default 400 pixels") << 400;
}

// At every width the panel's window allows, with every row's copy confirmation showing, each row
// shows its copy symbol, its confirmation and its send button whole inside the list, nothing
// over anything else, and the environment picker shows its labels whole.
void tst_RemoteViews::rowsKeepTheirControlsInViewAtEveryWidth()
{
    QFETCH(int, width);
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    WindowManager windows;
    auto *panel = new DeeplinkListView(tool.listener);
    std::unique_ptr<QWidget> window(applyExternalWindowModifier(panel, SideView::Deeplink, windows, {}));
    window->resize(width, 640);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    saveArtifact(window.get(), QStringLiteral("deeplink-%1.png").arg(width));
    for (DeeplinkItemView *row : panel->rows())
        QTest::mouseClick(row->copyButton()->findChild<QToolButton *>(), Qt::LeftButton);
    QCoreApplication::processEvents();
    saveArtifact(window.get(), QStringLiteral("deeplink-copied-%1.png").arg(width));

    auto *list = panel->findChild<QScrollArea *>();
    const QRect viewport = list->viewport()->rect();
    const auto place = [&](const QWidget *widget) {
        return QRect(widget->mapTo(list->viewport(), QPoint(0, 0)), widget->size());
    };
    const auto inside = [&](const QRect &r) { return r.left() >= 0 && r.right() <= viewport.right(); };
    for (DeeplinkItemView *row : panel->rows()) {
        const QString name = row->viewModel().deeplink().name;
        const QRect send = place(row->sendButton());
        const QRect symbol = place(row->copyButton()->findChild<QToolButton *>());
        const auto *confirmation = row->copyButton()->findChild<QLabel *>(QStringLiteral("confirmation"));
        QVERIFY2(confirmation->isVisible(), qPrintable(name));
        const QRect copied = place(confirmation);
        QVERIFY2(inside(send) && inside(symbol) && inside(copied), qPrintable(name));
        QVERIFY2(copied.width() >= confirmation->sizeHint().width(), qPrintable(name));
        QVERIFY2(copied.right() < send.left() && symbol.right() < send.left(), qPrintable(name));
        const auto *title = row->findChild<QLabel *>(QStringLiteral("name"));
        QVERIFY(title);
        QVERIFY2(place(title).right() < symbol.left(), qPrintable(name));
    }
    for (const DeeplinkEnvironment environment : {DeeplinkEnvironment::Staging, DeeplinkEnvironment::Production}) {
        const ChipButton *segment = panel->environmentButton(environment);
        QVERIFY(segment->width() >= segment->sizeHint().width());
    }
}

void tst_RemoteViews::anUnparsableBaseCopiesAnEmptyText()
{
    RemoteFixture tool;
    DeeplinkListView panel(tool.listener, DeeplinkBaseAddresses{QStringLiteral("ht tp://no origin"), QStringLiteral("https://b.test")});
    panel.show();
    CopyButton *copy = panel.row(Deeplinks::Case::Cart)->copyButton();
    QGuiApplication::clipboard()->setText(QStringLiteral("stale"));
    QTest::mouseClick(copy->findChild<QToolButton *>(), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QTest::mouseClick(panel.environmentButton(DeeplinkEnvironment::Production), Qt::LeftButton);
    QTest::mouseClick(copy->findChild<QToolButton *>(), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://b.test/cart"));
}

void tst_RemoteViews::milestonePanelScreenshots()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    tool.milestones.storeMilestones(QStringLiteral("Shop"), five());
    MilestoneListView panel(tool.listener, tool.milestones);
    panel.resize(360, 560);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QCOMPARE(panel.list()->model()->rowCount(), 5);
    screenshots(panel, QStringLiteral("milestone-panel"));
}

// A key takes one line when its shaped width fits the row, two otherwise, also for keys within
// a pixel or two of the edge and full of kerning pairs.
void tst_RemoteViews::milestoneRowsFitTheirKeys()
{
    RemoteFixture tool;
    QVERIFY(tool.connectApp());
    MilestoneListView panel(tool.listener, tool.milestones);
    panel.resize(360, 560);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QListView *list = panel.list();
    // The rows' width must not change when the long list brings its scroll bar.
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tool.milestones.storeMilestones(QStringLiteral("Shop"), {ScriptedPeer::milestone(QStringLiteral("a"), 1)});
    QCoreApplication::processEvents();
    const int available = list->visualRect(list->model()->index(0, 0)).width() - 2 * MilestoneDelegate::kPadding;
    QVERIFY(available > 200);
    const QFontMetricsF body(PanelParts::font(list->font(), PanelParts::kBody));
    // Kerned ASCII near the edge, and accented and Japanese text near it and some way from it on
    // both sides (where a row may go by summed advances instead of shaping).
    const QStringList bases = {QStringLiteral("AVATAR_To_Ty_LT_wa_r.7_Yo_fi_").repeated(8),
        QStringLiteral("größenfilter_café_ÀVÉ_Tÿ_ブランドページ_閲覧_").repeated(6)};
    QList<Milestone> milestones = {ScriptedPeer::milestone(QStringLiteral("a"), 1)};
    QList<bool> fits = {true};
    for (const QString &base : bases) {
        for (qsizetype length = 1; length <= base.size(); ++length) {
            const QString key = base.left(length);
            const qreal width = body.horizontalAdvance(key);
            if (std::abs(width - available) <= 60) {
                milestones.append(ScriptedPeer::milestone(key, 1));
                fits.append(width <= available);
            }
        }
    }
    QVERIFY(fits.contains(true) && fits.contains(false));
    tool.milestones.storeMilestones(QStringLiteral("Shop"), milestones);
    QCoreApplication::processEvents();
    const int oneLine = list->visualRect(list->model()->index(0, 0)).height();
    for (int row = 1; row < milestones.size(); ++row) {
        const int height = list->visualRect(list->model()->index(row, 0)).height();
        QVERIFY2((height == oneLine) == fits.at(row), qPrintable(milestones.at(row).key()));
    }
}

// Panels shown again and again follow the app's reports once. When the active app disconnects it
// stays the active one (its data stays on show), but every panel says it is gone and offers no
// send, until it connects again under its name.
void tst_RemoteViews::aGoneAppIsShownAndOffersNoSend()
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
void tst_RemoteViews::thePopOutButtonCoversNoRow()
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

QTEST_MAIN(tst_RemoteViews)
#include "tst_remoteviews.moc"