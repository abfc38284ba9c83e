#include "CodeMirror/CodeMirrorView.h"

#include "CodeMirror/CodeMirrorBridge.h"
#include "CodeMirror/CodeMirrorBundle.h"
#include "CodeMirror/CodeMirrorCoordinator.h"
#include "CodeMirror/CodeMirrorPage.h"
#include "CodeMirror/CodeMirrorViewModel.h"

#include <QChildEvent>
#include <QColor>
#include <QLoggingCategory>
#include <QMenu>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>
#include <QWheelEvent>

Q_LOGGING_CATEGORY(lcView, "morvenda.CodeMirrorView")

namespace {

// The dark theme's background, as the page's style sheet has it.
const QColor kDarkBackground(0x28, 0x2c, 0x34);

// The page address with the model's settings in its fragment, which the page applies before its
// first paint: a viewer made in the dark scheme otherwise started transparent, turned dark when
// the settings arrived, and often stayed blank until its window was resized.
QUrl withSettings(QUrl url, const CodeMirrorViewModel &model)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); };
    QUrlQuery settings;
    settings.addQueryItem(QStringLiteral("darkMode"), flag(model.darkMode()));
    settings.addQueryItem(QStringLiteral("lineWrapping"), flag(model.lineWrapping()));
    settings.addQueryItem(QStringLiteral("readOnly"), flag(model.readOnly()));
    settings.addQueryItem(QStringLiteral("language"), rawValue(model.language()));
    url.setFragment(settings.toString(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

} // namespace

CodeMirrorView::CodeMirrorView(CodeMirrorViewModel &viewModel, QWidget *parent)
    : CodeMirrorView(viewModel, CodeMirrorBundle::pageUrl(), parent)
{
}

CodeMirrorView::CodeMirrorView(CodeMirrorViewModel &viewModel, const QUrl &pageUrl, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(&viewModel)
    , m_webView(new QWebEngineView(this))
    , m_page(new CodeMirrorPage(withSettings(pageUrl, viewModel), m_webView))
    , m_bridge(new CodeMirrorBridge(this))
{
    QPointer<CodeMirrorPage> page(m_page);
    m_coordinator = new CodeMirrorCoordinator(viewModel,
        [page](const QString &script, std::function<void(const QVariant &)> answer) {
            if (!page) {
                answer(QVariant());
                return;
            }
            page->runJavaScript(script, 0, answer);
        },
        this);

    auto *channel = new QWebChannel(m_page);
    channel->registerObject(QStringLiteral("host"), m_bridge);
    m_page->setWebChannel(channel);
    m_webView->setPage(m_page);

    buildLayout();
    connectSignals();
    // The first update: the page gets the settings as soon as it is ready, before any text.
    pushSettings();
    // By URL, never as inline HTML: the page and its scripts resolve inside the resource folder.
    m_page->load(m_page->pageUrl());
}

CodeMirrorView::~CodeMirrorView()
{
    // The coordinator fails what still waits for the page while the page can still be asked.
    delete m_coordinator;
}

void CodeMirrorView::buildLayout()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_webView);
    m_webView->setAcceptDrops(false);
    m_webView->setContextMenuPolicy(Qt::CustomContextMenu);
    // Magnification stays off: the render widget appears as a child of the web view.
    m_webView->installEventFilter(this);
    for (QObject *child : m_webView->children())
        child->installEventFilter(this);
}

void CodeMirrorView::connectSignals()
{
    CodeMirrorViewModel &model = *m_viewModel;
    connect(&model, &CodeMirrorViewModel::darkModeChanged, this, &CodeMirrorView::pushSettings);
    connect(&model, &CodeMirrorViewModel::lineWrappingChanged, this, &CodeMirrorView::pushSettings);
    connect(&model, &CodeMirrorViewModel::readOnlyChanged, this, &CodeMirrorView::pushSettings);
    connect(&model, &CodeMirrorViewModel::languageChanged, this, &CodeMirrorView::pushSettings);
    connect(&model, &CodeMirrorViewModel::followsEndChanged, this, &CodeMirrorView::pushSettings);

    connect(m_bridge, &CodeMirrorBridge::posted, m_coordinator, &CodeMirrorCoordinator::pageDidPost);
    const QUrl pageUrl = m_page->pageUrl();
    connect(m_page, &QWebEnginePage::loadingChanged, this, [this, pageUrl](const QWebEngineLoadingInfo &info) {
        // Only the one load of the page counts; every other navigation is refused.
        if (m_loadReported || info.url() != pageUrl || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            return;
        m_loadReported = true;
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
            m_coordinator->pageDidLoad({});
            return;
        }
        const QString reason = info.status() == QWebEngineLoadingInfo::LoadStoppedStatus
            ? QStringLiteral("the load was stopped")
            : QStringLiteral("%1 (error %2)").arg(info.errorString()).arg(info.errorCode());
        m_coordinator->pageDidLoad(QStringLiteral("could not load the editor page %1: %2")
                                       .arg(pageUrl.toString(), reason));
    });
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            m_coordinator->pageDidStop(
                QStringLiteral("the editor page's process ended (status %1, exit code %2)").arg(status).arg(exitCode));
        });
    connect(m_webView, &QWidget::customContextMenuRequested, this, &CodeMirrorView::showContextMenu);
}

void CodeMirrorView::pushSettings()
{
    if (!m_viewModel)
        return;
    const CodeMirrorViewModel &model = *m_viewModel;
    // The dark page paints its own background; drawn over a transparent web view it often
    // never reached the screen. The light page stays transparent, so the window shows through.
    m_page->setBackgroundColor(model.darkMode() ? kDarkBackground : QColor(Qt::transparent));
    const auto value = [](const QVariant &v) { return QVariantMap{{QStringLiteral("value"), v}}; };
    m_coordinator->callJavascript({QString(PageFunction::SetDarkMode), value(model.darkMode())}, {});
    m_coordinator->callJavascript({QString(PageFunction::SetLineWrapping), value(model.lineWrapping())}, {});
    m_coordinator->callJavascript({QString(PageFunction::SetReadOnly), value(model.readOnly())}, {});
    m_coordinator->callJavascript({QString(PageFunction::SetLanguage), value(rawValue(model.language()))}, {});
    m_coordinator->callJavascript({QString(PageFunction::SetFollowsEnd), value(model.followsEnd())}, {});
}

void CodeMirrorView::showContextMenu(const QPoint &position)
{
    // Only editing actions: the page's own menu offers reload and navigation, which are refused.
    QMenu menu(this);
    for (auto action : {QWebEnginePage::Undo, QWebEnginePage::Redo, QWebEnginePage::Cut,
             QWebEnginePage::Copy, QWebEnginePage::Paste, QWebEnginePage::SelectAll}) {
        if (action == QWebEnginePage::Cut)
            menu.addSeparator();
        menu.addAction(m_page->action(action));
    }
    menu.exec(m_webView->mapToGlobal(position));
}

bool CodeMirrorView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_webView && event->type() == QEvent::ChildAdded)
        static_cast<QChildEvent *>(event)->child()->installEventFilter(this);
    if (event->type() == QEvent::Wheel
        && static_cast<QWheelEvent *>(event)->modifiers().testFlag(Qt::ControlModifier))
        return true;
    return QWidget::eventFilter(watched, event);
}
