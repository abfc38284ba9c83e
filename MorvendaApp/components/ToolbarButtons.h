// The main window's toolbar buttons for the side panels and the bottom panes. They only read and
// change the shared WindowManager, which outlives them. Main thread only.
#pragma once

#include "SymbolButton.h"

#include "MorvendaApp/core/WindowManager.h"

// Shows its panel in the sidebar or hides it there; a panel open only in its own window moves into
// the sidebar, its window closing. Blue while the panel is in the sidebar, orange at 60 % while it
// is open in a window.
class SideToolbarButton : public SymbolButton
{
    Q_OBJECT

public:
    SideToolbarButton(SideView view, WindowManager &windowManager, QWidget *parent = nullptr);

    SideView view() const { return m_view; }
    static QString symbolName(SideView view);

private:
    void refresh();
    void trigger();

    SideView m_view;
    WindowManager &m_windowManager;
};

// Shows its bottom pane or hides it; blue while the pane is shown.
class BottomToolbarButton : public SymbolButton
{
    Q_OBJECT

public:
    BottomToolbarButton(BottomView view, WindowManager &windowManager, QWidget *parent = nullptr);

    BottomView view() const { return m_view; }
    static QString symbolName(BottomView view);
    static QString helpText(BottomView view);

private:
    void refresh();

    BottomView m_view;
    WindowManager &m_windowManager;
};
