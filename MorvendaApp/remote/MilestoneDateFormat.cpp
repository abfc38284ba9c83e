#include "MilestoneDateFormat.h"

#include <QLocale>
#include <QLoggingCategory>

#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <charconv>
#include <cmath>
#include <iterator>
#include <memory>

Q_LOGGING_CATEGORY(lcMilestoneDateFormat, "morvenda.MilestoneDateFormat")

namespace MilestoneDateFormat {
namespace {

// Weekday, day, month, year, locale hour cycle, minute, second, specific zone name (short).
constexpr char16_t kSkeleton[] = u"EEEdMMMyjjmmssz";
// The range ECMAScript dates allow, in milliseconds: beyond it calendars stop making sense.
constexpr double kMaxMilliseconds = 8.64e15;

std::unique_ptr<icu::SimpleDateFormat> &cached()
{
    static std::unique_ptr<icu::SimpleDateFormat> formatter;
    return formatter;
}

icu::SimpleDateFormat *formatter()
{
    std::unique_ptr<icu::SimpleDateFormat> &slot = cached();
    if (slot)
        return slot.get();
    const icu::Locale locale(QLocale().name().toUtf8().constData());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        qCWarning(lcMilestoneDateFormat) << "no date pattern generator:" << u_errorName(status);
        return nullptr;
    }
    const icu::UnicodeString pattern = generator->getBestPattern(
        icu::UnicodeString(kSkeleton), UDATPG_MATCH_HOUR_FIELD_LENGTH, status);
    auto made = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
    if (U_FAILURE(status)) {
        qCWarning(lcMilestoneDateFormat) << "no date formatter:" << u_errorName(status);
        return nullptr;
    }
    made->adoptTimeZone(icu::TimeZone::createDefault());
    slot = std::move(made);
    return slot.get();
}

// The value as the app sent it: milliseconds, in the shortest text that reads back as the same
// number, with the unit.
QString rawMilliseconds(double milliseconds)
{
    char buffer[64];
    const std::to_chars_result end = std::to_chars(std::begin(buffer), std::end(buffer), milliseconds);
    return QString::fromLatin1(buffer, end.ptr - buffer) + QStringLiteral(" ms");
}

} // namespace

QString format(double seconds)
{
    const double milliseconds = seconds * 1000.0;
    icu::SimpleDateFormat *dateFormat = formatter();
    if (!std::isfinite(milliseconds) || std::abs(milliseconds) > kMaxMilliseconds || !dateFormat)
        return rawMilliseconds(milliseconds);
    icu::UnicodeString text;
    dateFormat->format(milliseconds, text);
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

void reset()
{
    cached().reset();
    // ICU keeps its own default zone; read TZ again.
    icu::TimeZone::adoptDefault(icu::TimeZone::detectHostTimeZone());
}

} // namespace MilestoneDateFormat
