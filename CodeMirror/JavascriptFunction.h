// One call into the editor page: a script expression and its named arguments. A plain value,
// any thread. The arguments travel as JSON literals (see ScriptSource), never inside the script.
#pragma once

#include <QString>
#include <QLatin1StringView>
#include <QStringView>
#include <QVariantMap>

struct JavascriptFunction
{
    // The expression to run, for example "CodeMirror.setContent(value)".
    QString functionString;
    // Named arguments: bool, text, finite numbers or null. Empty for calls that take none.
    QVariantMap args;

    friend bool operator==(const JavascriptFunction &, const JavascriptFunction &) = default;
};

// The page's functions. Each setter replaces one piece of the page's state with its argument
// "value", so only the last of several setter calls in a row matters.
namespace PageFunction {
inline constexpr QLatin1StringView SetDarkMode{"CodeMirror.setDarkMode(value)"};
inline constexpr QLatin1StringView SetLineWrapping{"CodeMirror.setLineWrapping(value)"};
inline constexpr QLatin1StringView SetReadOnly{"CodeMirror.setReadOnly(value)"};
inline constexpr QLatin1StringView SetLanguage{"CodeMirror.setLanguage(value)"};
inline constexpr QLatin1StringView SetFollowsEnd{"CodeMirror.setFollowsEnd(value)"};
inline constexpr QLatin1StringView SetContent{"CodeMirror.setContent(value)"};
inline constexpr QLatin1StringView GetContent{"CodeMirror.getContent()"};

inline bool isSetter(QStringView functionString)
{
    return functionString == SetDarkMode || functionString == SetLineWrapping
        || functionString == SetReadOnly || functionString == SetLanguage
        || functionString == SetFollowsEnd || functionString == SetContent;
}
} // namespace PageFunction
