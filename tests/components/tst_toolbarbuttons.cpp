#include "MorvendaApp/components/ExternalWindowButton.h"
#include "MorvendaApp/components/ToolbarButtons.h"

#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>


namespace {

// A panel's own window as the shell makes it: a top-level widget named after the panel, holding
// the panel content wrapped by the external-window modifier.
std::unique_ptr<QWidget> makePanelWindow(SideView view, WindowManager &manager, QStringList *opened)
{
    auto window = std::make_unique<QWidget>();
    markPanelWindow(window.get(), view);
    auto *layout = new QVBoxLayout(window.get());
    layout->addWidget(applyExternalWindowModifier(new QLabel(rawValue(view)), view, manager,
        [opened](SideView v) { *opened << rawValue(v); }));
    window->resize(300, 200);
    return window;
}

} // namespace

class TestToolbarButtons : public QObject
{
    Q_OBJECT

private slots:
    void sideButtonFollowsThePanelsPlace_data();
    void sideButtonFollowsThePanelsPlace();
    void bottomButtonHighlightsTheShownPane_data();
    void bottomButtonHighlightsTheShownPane();
    void panelWindowsComeAndGoByTheirButtons();
};

void TestToolbarButtons::sideButtonFollowsThePanelsPlace_data()
{
    QTest::addColumn<bool>("inSidebar");
    QTest::addColumn<bool>("inWindow");
    QTest::addColumn<std::optional<NamedColor>>("tint");
    QTest::addColumn<qreal>("opacity");
    QTest::addColumn<QString>("sideViewAfterClick");
    QTest::addColumn<bool>("inWindowAfterClick");

    QTest::addRow("a panel shown in the sidebar is blue and hides on click")
        << true << false << std::optional(NamedColor::Blue) << 1.0 << QStringLiteral("none") << false;
    QTest::addRow("a panel recorded in a window that is not there is faded orange and shows in the sidebar on click")
        << false << true << std::optional(NamedColor::Orange) << 0.6 << QStringLiteral("deeplink") << false;
    QTest::addRow("a panel shown nowhere has the default colour and shows in the sidebar on click")
        << false << false << std::optional<NamedColor>() << 1.0 << QStringLiteral("deeplink") << false;
    QTest::addRow("a panel in both places counts as in the sidebar and leaves it on click")
        << true << true << std::optional(NamedColor::Blue) << 1.0 << QStringLiteral("none") << true;
}

void TestToolbarButtons::sideButtonFollowsThePanelsPlace()
{
    QFETCH(bool, inSidebar);
    QFETCH(bool, inWindow);
    QFETCH(std::optional<NamedColor>, tint);
    QFETCH(qreal, opacity);
    QFETCH(QString, sideViewAfterClick);
    QFETCH(bool, inWindowAfterClick);

    WindowManager manager;
    SideToolbarButton button(SideView::Deeplink, manager);
    if (inWindow)
        manager.open(SideView::Deeplink);
    if (inSidebar)
        manager.toggle(SideView::Deeplink);

    QCOMPARE(button.tint(), tint);
    QCOMPARE(button.tintOpacity(), opacity);

    button.click();
    QCOMPARE(rawValue(manager.sideView()), sideViewAfterClick);
    QCOMPARE(manager.windows().contains(SideView::Deeplink), inWindowAfterClick);
}

void TestToolbarButtons::bottomButtonHighlightsTheShownPane_data()
{
    QTest::addColumn<QString>("pane");
    QTest::addRow("metrics") << QStringLiteral("metrics");
    QTest::addRow("console") << QStringLiteral("console");
}

void TestToolbarButtons::bottomButtonHighlightsTheShownPane()
{
    QFETCH(QString, pane);

    const BottomView view = bottomViewFromRawValue(pane).value();
    WindowManager manager;
    BottomToolbarButton button(view, manager);

    manager.setBottomView(view);
    manager.setExpandBottomView(true);
    QCOMPARE(button.tint(), std::optional(NamedColor::Blue));

    button.click();
    QCOMPARE(manager.bottomView(), BottomView::None);
    QCOMPARE(manager.expandBottomView(), false);
    QCOMPARE(button.tint(), std::nullopt);
}

// A panel goes out to its own window and back. Its record goes when its own window closes, by the
// window's button or the toolbar's "Close window", and never when another window closes. One
// press of the toolbar's button shows a panel that is in its own window: in the sidebar.
void TestToolbarButtons::panelWindowsComeAndGoByTheirButtons()
{
    WindowManager manager;
    QStringList opened;
    manager.toggle(SideView::Deeplink);
    QWidget sidebar;
    auto *layout = new QVBoxLayout(&sidebar);
    layout->addWidget(applyExternalWindowModifier(new QLabel(QStringLiteral("panel")), SideView::Deeplink, manager,
        [&opened](SideView v) { opened << rawValue(v); }));
    sidebar.show();
    sidebar.findChild<ExternalWindowButton *>()->click();
    QCOMPARE(opened, QStringList{QStringLiteral("deeplink")});
    QCOMPARE(manager.windows(), QSet<SideView>{SideView::Deeplink});
    QCOMPARE(manager.sideView(), SideView::None);

    auto deeplink = makePanelWindow(SideView::Deeplink, manager, &opened);
    auto settings = makePanelWindow(SideView::Settings, manager, &opened);
    manager.open(SideView::Settings);
    deeplink->show();
    settings->show();
    SideToolbarButton settingsButton(SideView::Settings, manager);
    QCOMPARE(settingsButton.tint(), std::optional(NamedColor::Orange));
    QDialog unrelated;
    unrelated.show();
    unrelated.close();
    // Minimising is not closing.
    settings->showMinimized();
    QCOMPARE(manager.windows(), (QSet<SideView>{SideView::Deeplink, SideView::Settings}));

    settingsButton.click();
    QVERIFY(!settings->isVisible());
    QVERIFY(deeplink->isVisible());
    QCOMPARE(manager.windows(), QSet<SideView>{SideView::Deeplink});
    QCOMPARE(manager.sideView(), SideView::Settings);
    QCOMPARE(settingsButton.tint(), std::optional(NamedColor::Blue));
    // The next press hides it there.
    settingsButton.click();
    QCOMPARE(manager.sideView(), SideView::None);
    QVERIFY(!settings->isVisible());

    deeplink->findChild<ExternalWindowButton *>()->click();
    QVERIFY(manager.windows().isEmpty());
    QCOMPARE(manager.sideView(), SideView::Deeplink);
    QVERIFY(!deeplink->isVisible());
    QVERIFY(sidebar.isVisible());
    QCOMPARE(opened.size(), 1);
}

QTEST_MAIN(TestToolbarButtons)
#include "tst_toolbarbuttons.moc"
