#include "CodeMirror/CodeMirrorCoordinator.h"

#include "CodeMirror/ScriptMessageName.h"
#include "CodeMirror/ScriptSource.h"

#include <QFutureWatcher>
#include <QLoggingCategory>
#include <QtConcurrent/QtConcurrentRun>

Q_LOGGING_CATEGORY(lcCoordinator, "morvenda.CodeMirrorCoordinator")

namespace {
// Texts from this many characters on are turned into script on a worker thread (about 4 ms of
// main-thread time per million characters otherwise).
constexpr qsizetype kEscapeOnWorkerFrom = 1 << 20;
} // namespace

CodeMirrorCoordinator::CodeMirrorCoordinator(CodeMirrorViewModel &model, ScriptRunner runner, QObject *parent)
    : QObject(parent)
    , m_model(&model)
    , m_runner(std::move(runner))
{
    model.installExecuteJS(this, [this](const JavascriptFunction &function, ResultCallback result) {
        callJavascript(function, std::move(result));
    });
}

CodeMirrorCoordinator::~CodeMirrorCoordinator()
{
    // First leave the model, so a caller that answers a failure with a new call reaches no host
    // instead of this half-destroyed one.
    if (m_model)
        m_model->uninstallExecuteJS(this);
    failWaiting(QStringLiteral("the code viewer was closed"));
}

void CodeMirrorCoordinator::callJavascript(const JavascriptFunction &function, ResultCallback result)
{
    if (m_pageLoaded && !m_contentInFlight && m_pending.isEmpty()) {
        runJavascript(function, std::move(result));
        return;
    }
    if (result && !m_loadError.isEmpty()) {
        // The page will never answer; tell the caller now rather than never.
        const QString error = m_loadError;
        QMetaObject::invokeMethod(this, [result = std::move(result), error] {
            result(tl::unexpected(error));
        }, Qt::QueuedConnection);
        return;
    }
    hold(function, std::move(result));
}

void CodeMirrorCoordinator::hold(const JavascriptFunction &function, ResultCallback result)
{
    if (!result && PageFunction::isSetter(function.functionString)) {
        // Only calls behind the last one that waits for an answer may be merged: that one must
        // still see the page as every earlier call left it.
        for (qsizetype i = m_pending.size() - 1; i >= 0 && !m_pending[i].result; --i) {
            if (m_pending[i].function.functionString == function.functionString) {
                m_pending[i].function = function;
                return;
            }
        }
    }
    m_pending.append({function, std::move(result)});
}

void CodeMirrorCoordinator::runJavascript(const JavascriptFunction &function, ResultCallback result)
{
    const bool isContent = !result && function.functionString == PageFunction::SetContent;
    if (isContent && function.args.value(QStringLiteral("value")).toString().size() >= kEscapeOnWorkerFrom) {
        // Writing the literal of a big body takes tens of milliseconds: do it on a worker while
        // later calls wait behind the text in flight, then send it from here.
        m_contentInFlight = true;
        auto *watcher = new QFutureWatcher<Script>(this);
        connect(watcher, &QFutureWatcher<Script>::finished, this, [this, watcher, name = function.functionString] {
            watcher->deleteLater();
            send(name, watcher->result(), {});
        });
        watcher->setFuture(QtConcurrent::run([function] { return ScriptSource::wrappedCall(function); }));
        return;
    }
    if (isContent)
        m_contentInFlight = true;
    send(function.functionString, ScriptSource::wrappedCall(function), std::move(result));
}

void CodeMirrorCoordinator::send(const QString &name, const Script &script, ResultCallback result)
{
    const bool isContent = !result && name == PageFunction::SetContent;
    if (!script) {
        qCWarning(lcCoordinator) << "cannot call" << name << ":" << script.error();
        if (result)
            result(tl::unexpected(script.error()));
        if (isContent)
            contentDidArrive();
        return;
    }
    QPointer<CodeMirrorCoordinator> self(this);
    if (!result) {
        m_runner(*script, [self, isContent, name](const QVariant &answer) {
            // Nobody waits for these; a failure still belongs in the log, unless the viewer is
            // closing and the page merely went away.
            if (!self)
                return;
            const auto outcome = ScriptSource::readAnswer(answer);
            if (!outcome)
                qCWarning(lcCoordinator) << name << "failed in the page:" << outcome.error();
            if (isContent)
                self->contentDidArrive();
        });
        return;
    }
    const quint64 call = m_nextCall++;
    m_awaiting.insert(call, std::move(result));
    m_runner(*script, [self, call](const QVariant &answer) {
        if (!self)
            return;
        // take(): the callback runs at most once, also if the web view answers twice.
        const ResultCallback waiting = self->m_awaiting.take(call);
        if (waiting)
            waiting(ScriptSource::readAnswer(answer));
    });
}

void CodeMirrorCoordinator::contentDidArrive()
{
    m_contentInFlight = false;
    runPending();
}

void CodeMirrorCoordinator::runPending()
{
    // In call order, pausing behind a text on its way to the page. Each call leaves the list
    // before it runs, so a call made meanwhile lines up behind the rest.
    while (!m_pending.isEmpty() && m_pageLoaded && !m_contentInFlight) {
        Pending call = m_pending.takeFirst();
        runJavascript(call.function, std::move(call.result));
    }
}

void CodeMirrorCoordinator::pageDidPost(const QString &name, const QJsonValue &body)
{
    if (name == ScriptMessageName::DidReady) {
        if (m_pageLoaded)
            return;
        m_pageLoaded = true;
        m_loadError.clear();
        runPending();
        return;
    }
    if (name == ScriptMessageName::ContentDidChange) {
        if (m_model)
            m_model->contentDidChange();
        return;
    }
    qCWarning(lcCoordinator) << "CodeMirrorWebView receive" << name << body;
}

void CodeMirrorCoordinator::pageDidLoad(const QString &error)
{
    if (error.isEmpty()) {
        if (m_model)
            m_model->loadDidSucceed();
        return;
    }
    qCWarning(lcCoordinator).noquote() << "the editor page did not load:" << error;
    if (!m_pageLoaded) {
        m_loadError = error;
        failWaiting(error);
    }
    if (m_model)
        m_model->loadDidFail(error);
}

void CodeMirrorCoordinator::pageDidStop(const QString &reason)
{
    m_pageLoaded = false;
    m_contentInFlight = false;
    pageDidLoad(reason);
}

void CodeMirrorCoordinator::failWaiting(const QString &error)
{
    QList<ResultCallback> failed;
    for (ResultCallback &result : std::exchange(m_awaiting, {}))
        failed.append(std::move(result));
    // Held calls that wait for an answer fail too; setters stay held (they are bounded).
    QList<Pending> kept;
    for (Pending &call : m_pending) {
        if (call.result)
            failed.append(std::move(call.result));
        else
            kept.append(std::move(call));
    }
    m_pending = std::move(kept);
    for (const ResultCallback &result : failed)
        result(tl::unexpected(error));
}
