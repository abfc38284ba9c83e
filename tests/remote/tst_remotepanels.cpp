// The remote panels in the main scene: the side area beside the panel's own window.
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


class tst_RemotePanels : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { useScheme(false); }
    void sideAreaAndWindowAreIndependent();
};

// A panel shown in the side area and in its own window is two panels. "Collapse to sidebar" in the
// side pane closes the panel's window and leaves the pane as it is, with what was typed into it.
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
    const auto searchField = [](QWidget *panel) -> QLineEdit * {
        if (auto *deeplinks = qobject_cast<DeeplinkListView *>(panel))
            return deeplinks->filterField();
        if (auto *settings = qobject_cast<SettingsListView *>(panel))
            return settings->searchField();
        return qobject_cast<MilestoneListView *>(panel)->filterField();
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
        const QPointer<QWidget> window = scene.panelWindow(view);
        QWidget *inWindow = panelIn(window, className);
        QVERIFY(inWindow && inWindow != side);
        QTest::keyClicks(searchField(side), QStringLiteral("ord"));
        auto *deeplinks = qobject_cast<DeeplinkListView *>(side);
        if (deeplinks)
            QTest::mouseClick(deeplinks->environmentButton(DeeplinkEnvironment::Production), Qt::LeftButton);
        saveArtifact(scene.mainWindow(), QStringLiteral("main-window-side-%1.png").arg(rawValue(view)));

        auto *button = side->parentWidget()->findChild<ExternalWindowButton *>();
        QCOMPARE(button->toolTip(), QStringLiteral("Collapse to sidebar"));
        button->click();
        QCoreApplication::processEvents();
        QVERIFY(side);
        QCOMPARE(panelIn(scene.mainWindow(), className), side.data());
        QCOMPARE(searchField(side)->text(), QStringLiteral("ord"));
        if (deeplinks)
            QCOMPARE(deeplinks->environment(), DeeplinkEnvironment::Production);
        QVERIFY(!window || !window->isVisible());
        QVERIFY(!windows.windows().contains(view));
        QCOMPARE(button->toolTip(), QStringLiteral("Open in external window"));
        QCOMPARE(windows.sideView(), view);
        QVERIFY(scene.mainWindow()->isVisible());
    }
}

QTEST_MAIN(tst_RemotePanels)
#include "tst_remotepanels.moc"
