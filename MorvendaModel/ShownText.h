// Texts from apps as far as a row can show them: a name or path may be megabytes long, and laying
// it out whole costs seconds and hundreds of megabytes on every repaint. The stored records keep
// the whole text; only what is laid out in a row is cut. Pure functions; safe on any thread.
#pragma once

#include <QString>

#include <optional>

namespace ShownText {

// More than a line shows on the widest screen, and a few lines wrapped in a narrow column.
inline constexpr qsizetype kMaxLength = 2048;

// `text` itself (shared, not copied) when it is at most `maxLength` UTF-16 units long; otherwise its
// start with "…" in place of the rest, `maxLength` units in all, never ending inside a surrogate pair.
QString cut(const QString &text, qsizetype maxLength = kMaxLength);
std::optional<QString> cut(const std::optional<QString> &text);

} // namespace ShownText
