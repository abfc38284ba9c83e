// The editor's syntax modes. Plain values, any thread; the raw value is what the page's
// setLanguage takes.
#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class Language { Javascript, Json, Html, Css, Xml, Txt };

inline constexpr std::array<Language, 6> kAllLanguages = {Language::Javascript, Language::Json,
    Language::Html, Language::Css, Language::Xml, Language::Txt};

// "javascript", "json", "html", "css", "xml", "txt".
QString rawValue(Language language);
// Exactly one of the six raw values (case-sensitive), otherwise no value.
std::optional<Language> languageFromRawValue(QStringView raw);

inline size_t qHash(Language language, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(language), seed);
}
