// The console pane under the details: the application log in a read-only code viewer, with the
// console's own pane button and a button that clears the log. Each console pane makes its own
// view models, so showing the pane again starts from a fresh copy of the log. Dark mode follows
// the application palette. Owned by the details column; main thread.
#pragma once

#include <QWidget>

class CodeMirrorView;
class CodeMirrorViewModel;
class ConsoleViewModel;
class Logger;
class SymbolButton;
class WindowManager;

class ConsoleView : public QWidget
{
    Q_OBJECT

public:
    ConsoleView(Logger &logger, WindowManager &windowManager, QWidget *parent = nullptr);
    ~ConsoleView() override;

    ConsoleViewModel &viewModel() const { return *m_viewModel; }
    CodeMirrorViewModel &codeMirrorViewModel() const { return *m_codeMirrorViewModel; }
    SymbolButton *clearButton() const { return m_clearButton; }

    QSize sizeHint() const override;

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout(WindowManager &windowManager);
    void applyDarkMode();

    Logger &m_logger;
    CodeMirrorViewModel *m_codeMirrorViewModel = nullptr;
    ConsoleViewModel *m_viewModel = nullptr;
    CodeMirrorView *m_codeMirrorView = nullptr;
    SymbolButton *m_clearButton = nullptr;
};
