// Moving a side panel between the main window's sidebar and a window of its own.
//
// A panel's own window is a top-level widget whose objectName is the panel's raw value (the
// window identifier); markPanelWindow() sets it. The shell opens those windows through the
// `OpenPanelWindow` callback it passes in. Main thread only; the WindowManager outlives the panels.
#pragma once

#include "SymbolButton.h"

#include "MorvendaApp/core/WindowManager.h"

#include <functional>

using OpenPanelWindow = std::function<void(SideView)>;

void markPanelWindow(QWidget *window, SideView view);
bool isPanelWindow(const QWidget *window, SideView view);

// Brings a panel from its own window into the main window's sidebar: forgets the window, shows the
// panel in the sidebar (a sidebar pane that shows it already stays, with what was typed into it)
// and closes the window. `ownWindow` is the panel's window when the caller knows it; otherwise the
// visible top-level window marked for the panel is closed, if there is one.
void collapsePanelToSidebar(SideView view, WindowManager &windowManager, QWidget *ownWindow = nullptr);

// "Open in external window" while the panel is not open in a window, "Collapse to sidebar" while
// it is. Collapsing closes the panel's own window and shows the panel in the sidebar, keeping a
// sidebar pane that shows it already.
class ExternalWindowButton : public SymbolButton
{
    Q_OBJECT

public:
    ExternalWindowButton(SideView view, WindowManager &windowManager, OpenPanelWindow openWindow,
        QWidget *parent = nullptr);

    void openInExternalWindow();
    void collapseToSidebar();

private:
    void refresh();

    SideView m_view;
    WindowManager &m_windowManager;
    OpenPanelWindow m_openWindow;
};

// The height of the strip at the top of a panel that the external-window button sits in: a panel
// starts its rows below it, so the button never covers a row's own buttons.
int externalWindowStripHeight();

// The room the button takes from the right end of that strip.
int externalWindowButtonPlace();

// Wraps a panel's content with the external-window button in its top-right corner and keeps
// WindowManager::windows() up to date: the panel leaves it when its own window closes (and only
// then, never when some other window closes). Returns the wrapper, which owns `content`.
QWidget *applyExternalWindowModifier(QWidget *content, SideView view, WindowManager &windowManager,
    OpenPanelWindow openWindow);
