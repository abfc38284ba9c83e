// Localized texts of the application: each key has an English default compiled in; an optional
// translation file for the user's language overrides it. Lookups are cached for the life of the
// process. Main thread only.
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace L10n {

// The text for `key` in the user's language, or the English default. A key missing from the
// table is returned as itself (and logged once), so a missing entry is visible, never empty.
QString text(const char *key);

// The text for `key` with its placeholders filled from `args` (see formatText).
QString format(const char *key, const QVariantList &args);

template<typename... Args>
QString tr(const char *key, const Args &...args)
{
    return format(key, QVariantList{QVariant::fromValue(args)...});
}

// Fills "%@" (any value's text), "%lld"/"%ld"/"%d" (whole number, no grouping) and "%lf"/"%f"
// (six decimals) placeholders in one pass, in order; "%%" is "%". Arguments are never
// interpreted as patterns. A placeholder without an argument stays as it is; extra arguments
// are ignored. A pattern with no arguments given is returned verbatim.
QString formatText(const QString &pattern, const QVariantList &args);

// The English default of `key`, or a null QString if the table lacks it.
QString englishDefault(const char *key);

// Every key of the table, for tests.
QStringList allKeys();

} // namespace L10n
