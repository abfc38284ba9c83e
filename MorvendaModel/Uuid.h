// The strict UUID form of the wire: 36 characters, 8-4-4-4-12 hexadecimal digits joined by
// hyphens, digits in either case on reading, upper case on writing. Pure functions.
#pragma once

#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>
#include <string_view>

namespace Uuid {

// Empty optional for anything but the canonical 36-character form (braces, missing hyphens,
// wrong length, non-hex digits).
std::optional<QUuid> parse(QStringView text);
std::optional<QUuid> parse(std::string_view utf8);

// Canonical upper-case text, e.g. "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
QString toText(const QUuid &uuid);

} // namespace Uuid
