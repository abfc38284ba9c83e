// The code viewer a window embeds: a web view showing the editor page for one
// CodeMirrorViewModel. It pushes the model's four display settings to the page after it is made
// and after every change, and reports the page's load outcome and edits to the model. The
// window owns it (and, separately, the model); main thread only.
#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class CodeMirrorBridge;
class CodeMirrorCoordinator;
class CodeMirrorPage;
class CodeMirrorViewModel;
class QWebEngineView;

class CodeMirrorView : public QWidget
{
    Q_OBJECT

public:
    explicit CodeMirrorView(CodeMirrorViewModel &viewModel, QWidget *parent = nullptr);
    // Shows another page in place of the editor page; for tests of a page that cannot load.
    CodeMirrorView(CodeMirrorViewModel &viewModel, const QUrl &pageUrl, QWidget *parent = nullptr);
    ~CodeMirrorView() override;

    CodeMirrorCoordinator &coordinator() const { return *m_coordinator; }
    QWebEngineView *webView() const { return m_webView; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void pushSettings();
    void showContextMenu(const QPoint &position);

    QPointer<CodeMirrorViewModel> m_viewModel;
    QWebEngineView *m_webView = nullptr;
    CodeMirrorPage *m_page = nullptr;
    CodeMirrorBridge *m_bridge = nullptr;
    CodeMirrorCoordinator *m_coordinator = nullptr;
    bool m_loadReported = false;
};
