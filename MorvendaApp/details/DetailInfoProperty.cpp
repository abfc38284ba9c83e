#include "DetailInfoProperty.h"

#include "MorvendaModel/Uuid.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>

#include <charconv>
#include <cmath>


namespace {

// 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z: the four-digit years the texts can show.
constexpr double kFirstSecond = -62135596800.0;
constexpr double kEndSecond = 253402300800.0;

// Stands for the fractional seconds inside a QLocale pattern until they are filled in.
const QChar kFractionMark(0x0001);

QString sourceText(Response::Source source)
{
    return source == Response::Source::Cache ? QStringLiteral("cache") : QStringLiteral("network");
}

QString headersText(const QList<Header> &headers)
{
    QStringList parts;
    parts.reserve(headers.size());
    for (const Header &header : headers)
        parts.append(header.name() + QStringLiteral(": ") + header.value());
    return QStringLiteral("[") + parts.join(QStringLiteral(", ")) + QStringLiteral("]");
}

QString csvField(const QString &field)
{
    static const QRegularExpression special(QStringLiteral("[,\"\r\n]"));
    if (!field.contains(special))
        return field;
    QString quoted = field;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return QStringLiteral("\"") + quoted + QStringLiteral("\"");
}

// The locale's long date form with weekday and month abbreviated.
QString datePattern(const QLocale &locale)
{
    QString pattern = locale.dateFormat(QLocale::LongFormat);
    pattern.replace(QStringLiteral("dddd"), QStringLiteral("ddd"));
    pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return pattern;
}

// The locale's long time form with a two-digit hour, fractional seconds after the seconds, and
// the zone name.
QString timePattern(const QLocale &locale)
{
    static const QRegularExpression singleHour(QStringLiteral("(?<![hH])([hH])(?![hH])"));
    QString pattern = locale.timeFormat(QLocale::LongFormat);
    pattern.replace(singleHour, QStringLiteral("\\1\\1"));
    const qsizetype seconds = pattern.indexOf(QStringLiteral("ss"));
    if (seconds >= 0)
        pattern.insert(seconds + 2, QStringLiteral("'") + kFractionMark + QStringLiteral("'"));
    if (!pattern.contains(u't'))
        pattern += QStringLiteral(" t");
    return pattern;
}

} // namespace

DetailInfoProperty DetailInfoProperty::make(QString name, DetailValue value)
{
    return {QUuid::createUuid(), std::move(name), std::move(value)};
}

namespace DetailText {

bool isConvertibleDate(double seconds)
{
    return std::isfinite(seconds) && seconds >= kFirstSecond && seconds < kEndSecond;
}

QString rawNumberText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString utcText(double seconds)
{
    if (!isConvertibleDate(seconds))
        return rawNumberText(seconds);
    const auto whole = qint64(std::floor(seconds));
    const QDateTime date = QDateTime::fromSecsSinceEpoch(whole, QTimeZone::utc());
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
}

QString localText(double seconds, const QLocale &locale)
{
    if (!isConvertibleDate(seconds))
        return rawNumberText(seconds);
    const double whole = std::floor(seconds);
    // Truncated, not rounded, so 59.99996 never shows as a 60th second.
    const int fraction = std::min(9999, int((seconds - whole) * 10000.0));
    const QDateTime date = QDateTime::fromSecsSinceEpoch(qint64(whole)).toLocalTime();
    QString text = locale.toString(date, datePattern(locale) + QStringLiteral(", ") + timePattern(locale));
    text.replace(kFractionMark, locale.decimalPoint() + QStringLiteral("%1").arg(fraction, 4, 10, QChar(u'0')));
    return text;
}

QString valueText(const DetailValue &value)
{
    struct Visitor
    {
        QString operator()(const QString &text) const { return text; }
        QString operator()(qint64 number) const { return QString::number(number); }
        QString operator()(const QUuid &uuid) const { return Uuid::toText(uuid); }
        QString operator()(const Url &url) const { return url.text(); }
        QString operator()(DetailDate date) const { return utcText(date.seconds); }
        QString operator()(Method method) const { return rawValue(method); }
        QString operator()(Response::Source source) const { return sourceText(source); }
        QString operator()(const QList<Header> &headers) const { return headersText(headers); }
    };
    return std::visit(Visitor{}, value);
}

QString csvText(const QList<DetailInfoProperty> &properties)
{
    QString text = QStringLiteral("Key,Value");
    for (const DetailInfoProperty &property : properties)
        text += QStringLiteral("\n") + csvField(property.name) + QStringLiteral(",") + csvField(valueText(property.value));
    return text;
}

} // namespace DetailText
