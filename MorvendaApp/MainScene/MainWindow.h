// The main window: the timeline column beside the details column, and the toolbar with the two
// bottom-pane buttons, the five side-panel buttons and the help button between 1-pixel
// separators. The columns are made by MainScene and handed in. Closing it ends the application
// (MainScene listens to `closing`). Main thread.
#pragma once

#include "MorvendaApp/components/HelpButton.h"

#include <QMainWindow>

class QSplitter;
class QToolBar;
class WindowManager;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Column width bounds of the timeline, in logical pixels.
    static constexpr int kTimelineMinWidth = 400;
    static constexpr int kTimelineIdealWidth = 450;
    // Opening size where the screen has room for it; MainScene cuts it down to the screen.
    static constexpr QSize kDefaultSize{1280, 800};

    MainWindow(WindowManager &windowManager, HelpButton::Presenter helpPresenter, QWidget *parent = nullptr);

    // Takes ownership; either may be replaced only before the window is first shown.
    void setColumns(QWidget *timeline, QWidget *details);

    QToolBar *toolbar() const { return m_toolbar; }
    QSplitter *splitter() const { return m_splitter; }
    QWidget *timelineColumn() const;

signals:
    // The window is closing (accepted); the application ends with it.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolbar(WindowManager &windowManager, HelpButton::Presenter helpPresenter);

    QToolBar *m_toolbar = nullptr;
    QSplitter *m_splitter = nullptr;
};
