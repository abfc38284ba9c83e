// One row of the inspector's key/value tables and the plain texts made from its value (cells,
// "Copy value", CSV). Plain values and pure functions; main thread (the date texts read the
// user's locale and time zone).
#pragma once

#include "MorvendaModel/Header.h"
#include "MorvendaModel/Method.h"
#include "MorvendaModel/Response.h"
#include "MorvendaModel/Url.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QUuid>

#include <variant>

// A point in time as the wire carries it: seconds since 1970-01-01 00:00:00 UTC, fractions kept.
// Any double may arrive, NaN and 1e300 included.
struct DetailDate
{
    double seconds = 0;
};

// A row's value keeps its own type, so the table can render dates and URLs specially.
using DetailValue = std::variant<QString, qint64, QUuid, Url, DetailDate, Method, Response::Source, QList<Header>>;

struct DetailInfoProperty
{
    // A fresh random identity per built row; lists are rebuilt on every ask.
    QUuid id;
    QString name;
    DetailValue value;

    static DetailInfoProperty make(QString name, DetailValue value);
};

namespace DetailText {

// The value's plain text: strings as they are, integers in decimal, UUIDs in upper case, URLs as
// the app sent them, dates in UTC ("2024-03-05 10:22:13 +0000"), methods and sources by their raw
// value. A date outside the years 1 to 9999, or not finite, gives its raw number instead.
QString valueText(const DetailValue &value);

// True when the date converts to a calendar date of the years 1 to 9999 (UTC).
bool isConvertibleDate(double seconds);
// Shortest text that reads back as the same double ("1e+300", "nan", "-inf").
QString rawNumberText(double value);
QString utcText(double seconds);
// The table's form: abbreviated weekday, day, abbreviated month, year, two-digit hour in the
// locale's cycle, minutes, seconds with four fractional digits and the short zone name, in the
// locale's order, in the user's time zone. Raw number when the date is not convertible.
QString localText(double seconds, const QLocale &locale = QLocale::system());

// The rows as comma-separated text: the line "Key,Value", then one line per row of its name and
// value text, lines joined by LF with none after the last. A field holding a comma, a double
// quote, CR or LF is enclosed in double quotes with its quotes doubled; nothing else changes.
QString csvText(const QList<DetailInfoProperty> &properties);

} // namespace DetailText
