// The own window of one side panel, identified by the panel's raw value (its objectName). At most
// one exists per panel; MainScene opens or raises it. Closing it forgets the panel's window in the
// WindowManager, and the window is deleted (a later open makes a fresh one). Main thread.
#pragma once

#include "MorvendaApp/core/SideView.h"

#include <QWidget>

class WindowManager;

class PanelWindow : public QWidget
{
    Q_OBJECT

public:
    // `content` is the panel (owned by the window); null leaves the window's place empty.
    PanelWindow(SideView view, WindowManager &windowManager, QWidget *content);

    SideView view() const { return m_view; }
    // Opening size where the screen has room for it.
    static constexpr QSize kDefaultSize{400, 600};

    // "User", "Impersonation", "Settings", "Milestones", "Deeplink".
    static QString title(SideView view);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    SideView m_view;
    WindowManager &m_windowManager;
};
