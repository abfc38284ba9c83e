// The bridge between one CodeMirrorView's page and its CodeMirrorViewModel: holds calls back
// until the page says it is ready, runs them, and turns the page's messages and load outcome
// into the model's callbacks. Owned by the view; main thread only.
//
// Calls are held until the page is ready, and again while a text is on its way to the page (so at
// most one text is in flight, however fast a console pushes its whole log). Held calls are
// bounded: a setter call (content or one display setting) replaces an earlier held call of the
// same setter that waits behind the last held call with a result callback, in that earlier
// call's place. The page ends up exactly as if every call had run in order.
#pragma once

#include "CodeMirror/CodeMirrorViewModel.h"

#include <QMap>
#include <QJsonValue>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class CodeMirrorCoordinator : public QObject
{
    Q_OBJECT

public:
    using ResultCallback = CodeMirrorViewModel::ResultCallback;
    // Runs one script in the page and answers with what it evaluated to (an invalid QVariant when
    // the page could not run it).
    using ScriptRunner = std::function<void(const QString &script, std::function<void(const QVariant &)>)>;

    // Installs itself as the model's road into the page.
    CodeMirrorCoordinator(CodeMirrorViewModel &model, ScriptRunner runner, QObject *parent = nullptr);
    ~CodeMirrorCoordinator() override;

    // Runs the call now when the page is ready and no text is in flight, holds it otherwise.
    void callJavascript(const JavascriptFunction &function, ResultCallback result);

    // A message the page posted through the web channel.
    void pageDidPost(const QString &name, const QJsonValue &body);
    // The page's one load finished: `error` is empty on success. Calls waiting for a result fail
    // at once after a failure, and so does every such call made later.
    void pageDidLoad(const QString &error);
    // The page's process ended: nothing it held survives, so the viewer stops like a failed load.
    void pageDidStop(const QString &reason);

    bool pageLoaded() const { return m_pageLoaded; }
    qsizetype pendingCount() const { return m_pending.size(); }

private:
    struct Pending
    {
        JavascriptFunction function;
        ResultCallback result;
    };

    void hold(const JavascriptFunction &function, ResultCallback result);
    using Script = tl::expected<QString, QString>;

    void runJavascript(const JavascriptFunction &function, ResultCallback result);
    void send(const QString &name, const Script &script, ResultCallback result);
    void contentDidArrive();
    void runPending();
    // Fails every call that waits for an answer, sent or held.
    void failWaiting(const QString &error);

    QPointer<CodeMirrorViewModel> m_model;
    ScriptRunner m_runner;
    bool m_pageLoaded = false;
    // A setContent the page has not answered yet.
    bool m_contentInFlight = false;
    QString m_loadError;
    QList<Pending> m_pending;
    // Calls sent to the page whose answer has not come back, by call number.
    QMap<quint64, ResultCallback> m_awaiting;
    quint64 m_nextCall = 0;
};
