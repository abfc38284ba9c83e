#include "CodeMirror/CodeMirrorPage.h"

#include <QLoggingCategory>
#include <QColor>
#include <QWebEngineSettings>

Q_LOGGING_CATEGORY(lcPage, "morvenda.CodeMirrorPage")

CodeMirrorPage::CodeMirrorPage(const QUrl &pageUrl, QObject *parent)
    : QWebEnginePage(parent)
    , m_pageUrl(pageUrl)
{
    QWebEngineSettings *s = settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    // The window shows through wherever the page draws nothing.
    setBackgroundColor(Qt::transparent);
}

bool CodeMirrorPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (!m_pageRequested && isMainFrame && url == m_pageUrl) {
        m_pageRequested = true;
        return true;
    }
    qCWarning(lcPage) << "refused navigation to" << url << "type" << type << "main frame" << isMainFrame;
    emit refused(url);
    return false;
}

QWebEnginePage *CodeMirrorPage::createWindow(WebWindowType type)
{
    qCWarning(lcPage) << "refused to open a window of type" << type;
    emit refused(QUrl());
    return nullptr;
}

void CodeMirrorPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
    int lineNumber, const QString &sourceID)
{
    switch (level) {
    case InfoMessageLevel:
        qCDebug(lcPage).noquote() << sourceID << lineNumber << message;
        break;
    case WarningMessageLevel:
        qCWarning(lcPage).noquote() << sourceID << lineNumber << message;
        break;
    case ErrorMessageLevel:
        qCCritical(lcPage).noquote() << sourceID << lineNumber << message;
        break;
    }
}
