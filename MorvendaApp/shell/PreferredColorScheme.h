// The user's one preference: the colour scheme of the windows, stored as its raw value under
// "preferredColorScheme". Plain values and conversions; no widgets.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

enum class PreferredColorScheme { System, Light, Dark };

// What the windows actually show once "system" is resolved.
enum class ColorScheme { Light, Dark };

namespace ColorSchemePreference {

inline constexpr char kSettingsKey[] = "preferredColorScheme";

// System, Light, Dark: the order of the picker.
QList<PreferredColorScheme> allCases();

QString rawValue(PreferredColorScheme scheme);

// Exactly "system", "light" or "dark"; anything else (other case, empty, a label) is none.
std::optional<PreferredColorScheme> fromRawValue(const QString &raw);

// A stored value as the preference reads it: an absent value, a non-text value or a text that is
// not a raw value all read as System.
PreferredColorScheme fromStored(const QVariant &stored);

// The raw value with its first letter in upper case ("System"), shown verbatim in the picker.
QString pickerLabel(PreferredColorScheme scheme);

} // namespace ColorSchemePreference
