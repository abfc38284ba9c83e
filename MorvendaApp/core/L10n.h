// Localized texts of the application: each key has an English default compiled in; an optional
// translation file for the user's language overrides it. Lookups are cached for the life of the
// process. Any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <type_traits>

namespace L10n {

// The text for `key` in the user's language, or the English default. A key missing from the
// table is returned as itself (and logged once), so a missing entry is visible, never empty.
QString text(const char *key);

// For texts whose key is their own English wording, made at run time (a separator, "key=value"):
// the translation when the table has one, else the key itself, without a missing-key warning.
QString textOrKey(const QString &key);
// The text for `key` with its placeholders filled from `args` (see formatText).
QString format(const char *key, const QVariantList &args);

namespace detail {
template<typename T>
QVariant argument(const T &value)
{
    if constexpr (std::is_convertible_v<const T &, const char *>)
        return QString::fromUtf8(static_cast<const char *>(value));
    else
        return QVariant::fromValue(value);
}
} // namespace detail

template<typename... Args>
QString tr(const char *key, const Args &...args)
{
    return format(key, QVariantList{detail::argument(args)...});
}

// Fills "%@" (any value's text), "%lld"/"%ld"/"%d" (whole number, no grouping) and "%lf"/"%f"
// (six decimals) placeholders in one pass, in order; "%%" is "%". Arguments are never
// interpreted as patterns. A placeholder without an argument stays as it is; extra arguments
// are ignored. A pattern with no arguments given is returned verbatim.
QString formatText(const QString &pattern, const QVariantList &args);

// The placeholders of `pattern` in order ("@", "lld", "lf", …), "%%" excluded. A translation
// must have exactly the placeholders of its English default.
QStringList placeholders(const QString &pattern);

// The English default of `key`, or a null QString if the table lacks it.
QString englishDefault(const char *key);

// Every key of the table, for tests.
QStringList allKeys();

// Folder of the translation files in the resources: one JSON object per language mapping keys
// to texts, named after the language ("de.json", "pt_BR.json").
inline constexpr char kTranslationFolder[] = ":/morvenda/l10n";

// Replaces the translations with the first file found for `uiLanguages` (in the order given; for
// "de-CH" the files "de_CH.json" then "de.json" are tried) in `folder`, and forgets every cached
// text. Runs on first use with the system's languages; tests call it to choose their own.
// Returns the file used, or an empty string when the English defaults stand alone.
QString loadTranslations(const QStringList &uiLanguages, const QString &folder = QString::fromLatin1(kTranslationFolder));

} // namespace L10n
