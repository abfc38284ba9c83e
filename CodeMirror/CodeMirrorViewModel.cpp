#include "CodeMirror/CodeMirrorViewModel.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcViewModel, "morvenda.CodeMirrorViewModel")

CodeMirrorViewModel::CodeMirrorViewModel(LoadSuccess onLoadSuccess, LoadFailed onLoadFailed,
    ContentChange onContentChange, QObject *parent)
    : QObject(parent)
    , m_onLoadSuccess(std::move(onLoadSuccess))
    , m_onLoadFailed(std::move(onLoadFailed))
    , m_onContentChange(std::move(onContentChange))
{
}

void CodeMirrorViewModel::setDarkMode(bool on)
{
    m_darkMode = on;
    emit darkModeChanged(on);
}

void CodeMirrorViewModel::setLineWrapping(bool on)
{
    m_lineWrapping = on;
    emit lineWrappingChanged(on);
}

void CodeMirrorViewModel::setReadOnly(bool on)
{
    m_readOnly = on;
    emit readOnlyChanged(on);
}

void CodeMirrorViewModel::setLanguage(Language language)
{
    m_language = language;
    emit languageChanged(language);
}

void CodeMirrorViewModel::setFollowsEnd(bool on)
{
    m_followsEnd = on;
    emit followsEndChanged(on);
}

void CodeMirrorViewModel::setContent(const QString &text)
{
    executeJS({QString(PageFunction::SetContent), {{QStringLiteral("value"), text}}});
}

void CodeMirrorViewModel::getContent(QObject *context, TextCallback done)
{
    executeJSAsync({QString(PageFunction::GetContent), {}}, context, std::move(done));
}

void CodeMirrorViewModel::executeJSAsync(const JavascriptFunction &function, QObject *context, TextCallback done)
{
    Q_ASSERT(context);
    QPointer<QObject> guard(context);
    executeJS(function, [guard, done = std::move(done)](const JavascriptResult &result) {
        if (!guard || !done)
            return;
        if (!result)
            done(tl::unexpected(result.error()));
        else if (result->typeId() == QMetaType::QString)
            done(std::optional<QString>(result->toString()));
        else
            done(std::optional<QString>());
    });
}

void CodeMirrorViewModel::installExecuteJS(QObject *owner, ExecuteJS executeJS)
{
    m_executeOwner = owner;
    m_executeJS = std::move(executeJS);
}

void CodeMirrorViewModel::uninstallExecuteJS(QObject *owner)
{
    if (m_executeOwner != owner)
        return;
    m_executeOwner = nullptr;
    m_executeJS = nullptr;
}

void CodeMirrorViewModel::executeJS(const JavascriptFunction &function, ResultCallback result)
{
    if (hasExecuteJS()) {
        m_executeJS(function, std::move(result));
        return;
    }
    qCDebug(lcViewModel) << "no code viewer shows this model; dropped" << function.functionString;
    // Answer on a later turn, as a live page would, so callers never see their callback run
    // inside their own call.
    if (result) {
        QMetaObject::invokeMethod(this, [result = std::move(result)] {
            result(tl::unexpected(QStringLiteral("no code viewer shows this text")));
        }, Qt::QueuedConnection);
    }
}

void CodeMirrorViewModel::loadDidSucceed() const
{
    if (m_onLoadSuccess)
        m_onLoadSuccess();
}

void CodeMirrorViewModel::loadDidFail(const QString &error) const
{
    if (m_onLoadFailed)
        m_onLoadFailed(error);
}

void CodeMirrorViewModel::contentDidChange() const
{
    if (m_onContentChange)
        m_onContentChange();
}
