// The state of one code viewer and its road into the editor page. A window creates it, keeps it
// for the viewer's lifetime and hands it to a CodeMirrorView; main thread only.
//
// The five display settings are published (each assignment emits after storing, equal values
// included) and may be set before any host exists. Script calls go to the most recently made
// host while it lives; with no host, setContent is ignored and getContent fails.
#pragma once

#include "CodeMirror/JavascriptFunction.h"
#include "CodeMirror/Language.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <tl/expected.hpp>

#include <functional>
#include <optional>

class CodeMirrorViewModel : public QObject
{
    Q_OBJECT

public:
    using LoadSuccess = std::function<void()>;
    using LoadFailed = std::function<void(const QString &error)>;
    using ContentChange = std::function<void()>;
    // What one call answered: its value (an invalid QVariant when it returned nothing) or an error.
    using JavascriptResult = tl::expected<QVariant, QString>;
    using ResultCallback = std::function<void(const JavascriptResult &)>;
    using ExecuteJS = std::function<void(const JavascriptFunction &, ResultCallback)>;
    // A text, no value (the page answered something else), or an error.
    using TextResult = tl::expected<std::optional<QString>, QString>;
    using TextCallback = std::function<void(const TextResult &)>;

    explicit CodeMirrorViewModel(LoadSuccess onLoadSuccess = {}, LoadFailed onLoadFailed = {},
        ContentChange onContentChange = {}, QObject *parent = nullptr);

    void setOnLoadSuccess(LoadSuccess callback) { m_onLoadSuccess = std::move(callback); }

    bool darkMode() const { return m_darkMode; }
    bool lineWrapping() const { return m_lineWrapping; }
    bool readOnly() const { return m_readOnly; }
    Language language() const { return m_language; }
    // A log's viewer: it opens at the end of its text and keeps a reader who is at the end there
    // whatever the new text, one whose start was trimmed included.
    bool followsEnd() const { return m_followsEnd; }
    void setDarkMode(bool on);
    void setLineWrapping(bool on);
    void setReadOnly(bool on);
    void setLanguage(Language language);
    void setFollowsEnd(bool on);

    // Replaces the page's whole text; returns at once and reports nothing.
    void setContent(const QString &text);
    // The page's current text, exactly as it holds it. `done` runs once, later, on the main
    // thread, and not at all once `context` is gone.
    void getContent(QObject *context, TextCallback done);
    // Runs a call that answers with a value; a text comes back as text, any other value as none.
    void executeJSAsync(const JavascriptFunction &function, QObject *context, TextCallback done);

    // The host's side. A host installs its road into the page; it serves while `owner` lives and
    // until a later host installs its own. `executeJS` hands a call to it, or, with no live host,
    // drops a call without result callback and fails one with.
    void installExecuteJS(QObject *owner, ExecuteJS executeJS);
    // Removes the road `owner` installed, if it is still the current one.
    void uninstallExecuteJS(QObject *owner);
    bool hasExecuteJS() const { return m_executeOwner && m_executeJS; }
    void executeJS(const JavascriptFunction &function, ResultCallback result = {});
    void loadDidSucceed() const;
    void loadDidFail(const QString &error) const;
    void contentDidChange() const;

signals:
    void darkModeChanged(bool on);
    void lineWrappingChanged(bool on);
    void readOnlyChanged(bool on);
    void languageChanged(Language language);
    void followsEndChanged(bool on);

private:
    LoadSuccess m_onLoadSuccess;
    LoadFailed m_onLoadFailed;
    ContentChange m_onContentChange;
    QPointer<QObject> m_executeOwner;
    ExecuteJS m_executeJS;
    bool m_darkMode = false;
    bool m_lineWrapping = false;
    bool m_readOnly = false;
    bool m_followsEnd = false;
    Language m_language = Language::Json;
};
