#include "CodeMirror/CodeMirrorCoordinator.h"

#include "CodeMirror/ScriptMessageName.h"
#include "CodeMirror/ScriptSource.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcCoordinator, "morvenda.CodeMirrorCoordinator")

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
    auto script = ScriptSource::wrappedCall(function);
    if (!script) {
        qCWarning(lcCoordinator) << "cannot call" << function.functionString << ":" << script.error();
        if (result)
            result(tl::unexpected(script.error()));
        return;
    }
    if (!result) {
        const bool isContent = function.functionString == PageFunction::SetContent;
        m_contentInFlight = m_contentInFlight || isContent;
        QPointer<CodeMirrorCoordinator> self(this);
        m_runner(*script, [self, isContent, name = function.functionString](const QVariant &answer) {
            // Nobody waits for these; a failure still belongs in the log, unless the viewer is
            // closing and the page merely went away.
            if (!self)
                return;
            const auto outcome = ScriptSource::readAnswer(answer);
            if (!outcome)
                qCWarning(lcCoordinator) << name << "failed in the page:" << outcome.error();
            if (isContent) {
                self->m_contentInFlight = false;
                self->runPending();
            }
        });
        return;
    }
    const quint64 call = m_nextCall++;
    m_awaiting.insert(call, std::move(result));
    QPointer<CodeMirrorCoordinator> self(this);
    m_runner(*script, [self, call](const QVariant &answer) {
        if (!self)
            return;
        // take(): the callback runs at most once, also if the web view answers twice.
        const ResultCallback waiting = self->m_awaiting.take(call);
        if (waiting)
            waiting(ScriptSource::readAnswer(answer));
    });
}

void CodeMirrorCoordinator::runPending()
{
    // In call order, pausing behind a text on its way to the page.
    qsizetype next = 0;
    while (next < m_pending.size() && m_pageLoaded && !m_contentInFlight) {
        Pending call = std::move(m_pending[next++]);
        runJavascript(call.function, std::move(call.result));
    }
    m_pending.remove(0, next);
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
