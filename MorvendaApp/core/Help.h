// The help articles: one page per topic on the documentation site. Plain values, any thread.
// The help dialog that lists them belongs to the application shell.
#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <array>
#include <optional>

enum class Help {
    Morvenda,
    ConnectToNewClient,
    Impersonation,
    Settings,
    Console,
    Network,
    UniversalLinks,
    SaveAndOpenFiles,
    Metrics,
    Filters,
    Milestones,
};

// Every article in declaration order.
inline constexpr std::array<Help, 11> kAllHelpArticles = {Help::Morvenda, Help::ConnectToNewClient,
    Help::Impersonation, Help::Settings, Help::Console, Help::Network, Help::UniversalLinks,
    Help::SaveAndOpenFiles, Help::Metrics, Help::Filters, Help::Milestones};

QString rawValue(Help article);
// Exactly the raw values, case-sensitive; anything else gives no value.
std::optional<Help> helpFromRawValue(QStringView raw);

// The display title; fixed, not localized.
QString helpTitle(Help article);

// The symbol name of the article's icon. Empty for `Help::Morvenda`, whose icon is the
// application's logo image.
QString helpIconSymbol(Help article);

// The article's page; no value when its address does not parse.
std::optional<QUrl> helpUrl(Help article);

inline size_t qHash(Help article, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(article), seed);
}
