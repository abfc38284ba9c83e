// Turns the country text an app reports for a retailer into the flag emoji shown beside the
// user's picture. Only the nine codes the apps are known to send have a flag. Any thread.
#pragma once

#include <QString>

#include <optional>

class CountryFlagMapper
{
public:
    // The flag of `code` after full upper-casing ("usa" and "Usa" give the US flag); no flag for
    // an absent code or one outside the table. The apps send "GER", "POR" and "SPA", so those
    // are the keys: the ISO codes "DEU", "PRT" and "ESP" give none.
    std::optional<QString> flag(const std::optional<QString> &code) const;
};
