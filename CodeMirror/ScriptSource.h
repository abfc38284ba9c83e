// Turns a JavascriptFunction into the script the web view runs and reads the page's answer.
// Pure functions, any thread.
//
// Every argument becomes a JSON literal that is passed to a wrapper function, so a text from
// outside can never become script. The wrapper catches what the call throws and answers
// {ok: value} or {err: message}, because the web view itself reports no script errors.
#pragma once

#include "CodeMirror/JavascriptFunction.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <tl/expected.hpp>

namespace ScriptSource {

// The text as a double-quoted JSON string literal that is also a valid JavaScript literal:
// quotes, backslashes, control characters, U+2028/U+2029 and unpaired surrogates escaped.
QString stringLiteral(QStringView text);

// bool, text, finite number or null as a JSON literal; anything else is an error.
tl::expected<QString, QString> literal(const QVariant &value);

// The complete script for one call; an error when an argument name is no plain identifier or an
// argument value has no JSON literal.
tl::expected<QString, QString> wrappedCall(const JavascriptFunction &function);

// What the page answered to a wrapped call: the value (an invalid QVariant when the call
// returned nothing), or the error it threw, or an error when no answer came back at all.
tl::expected<QVariant, QString> readAnswer(const QVariant &answer);

} // namespace ScriptSource
