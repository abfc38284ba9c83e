// The names of the two messages the editor page posts to its host.
#pragma once

#include <QLatin1StringView>

namespace ScriptMessageName {
// The page's CodeMirror object can take calls.
inline constexpr QLatin1StringView DidReady{"codeMirrorDidReady"};
// The user changed the text; the message carries nothing, the host asks for the text.
inline constexpr QLatin1StringView ContentDidChange{"codeMirrorContentDidChange"};
} // namespace ScriptMessageName
