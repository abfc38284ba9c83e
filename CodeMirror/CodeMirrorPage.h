// The web page under a CodeMirrorView: loads the editor page once and refuses everything else
// (any later navigation, new windows), and routes the page's console to the log. Owned by its
// view; main thread only.
#pragma once

#include <QUrl>
#include <QWebEnginePage>

class CodeMirrorPage : public QWebEnginePage
{
    Q_OBJECT

public:
    CodeMirrorPage(const QUrl &pageUrl, QObject *parent = nullptr);

    QUrl pageUrl() const { return m_pageUrl; }

signals:
    // A navigation or a new window the page asked for and did not get (the URL is empty for a
    // window).
    void refused(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
        int lineNumber, const QString &sourceID) override;

private:
    QUrl m_pageUrl;
    bool m_pageRequested = false;
};
