// Texts kept as UTF-8 bytes (record bodies): conversion from and to QString under the rule the JSON
// writer applies, so a text stored here is written out byte for byte as it would have been from its
// QString. Pure functions; safe on any thread.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace Utf8Text {

// The UTF-8 form of `text`; a lone surrogate becomes U+FFFD (QString::toUtf8 would write "?").
QByteArray fromText(const QString &text);
std::optional<QByteArray> fromText(const std::optional<QString> &text);

bool isValid(QByteArrayView bytes);

// `bytes` themselves when they are valid UTF-8 (shared, not copied), otherwise a copy with every
// invalid sequence replaced by U+FFFD.
QByteArray validated(QByteArray bytes);
std::optional<QByteArray> validated(std::optional<QByteArray> bytes);

std::optional<QString> toText(const std::optional<QByteArray> &bytes);

} // namespace Utf8Text
