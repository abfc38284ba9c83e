#include "CountryFlagMapper.h"

#include <array>
#include <utility>

namespace {

// A flag is the pair of regional-indicator symbols for the country's two-letter code.
QString regionalIndicators(const char (&letters)[3])
{
    constexpr char32_t regionalA = 0x1F1E6;
    const std::array<char32_t, 2> symbols{regionalA + char32_t(letters[0] - 'A'),
        regionalA + char32_t(letters[1] - 'A')};
    return QString::fromUcs4(symbols.data(), qsizetype(symbols.size()));
}

struct Entry
{
    const char *code;
    char region[3];
};

constexpr std::array<Entry, 9> kFlags{{
    {"CAN", "CA"},
    {"NLD", "NL"},
    {"USA", "US"},
    {"FRA", "FR"},
    {"GER", "DE"},
    {"POR", "PT"},
    {"GBR", "GB"},
    {"SPA", "ES"},
    {"ITA", "IT"},
}};

} // namespace

std::optional<QString> CountryFlagMapper::flag(const std::optional<QString> &code) const
{
    if (!code) {
        return std::nullopt;
    }
    const QString upper = code->toUpper();
    for (const Entry &entry : kFlags) {
        if (upper == QLatin1StringView(entry.code)) {
            return regionalIndicators(entry.region);
        }
    }
    return std::nullopt;
}
