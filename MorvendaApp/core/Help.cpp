#include "Help.h"

namespace {

struct Article
{
    Help help;
    const char *raw;
    const char *title;
    const char *symbol;
    const char *address;
};

// Each article has its own page; the addresses are absolute.
constexpr Article kArticles[] = {
    {Help::Morvenda, "morvenda", "Morvenda Feature Guide", "", "https://docs.example.com/morvenda/feature-guide"},
    {Help::ConnectToNewClient, "connectToNewClient", "Connect to new client", "arrow.forward.circle",
     "https://docs.example.com/morvenda/connect-to-new-client"},
    {Help::Impersonation, "impersonation", "Impersonation", "person.2.gobackward",
     "https://docs.example.com/morvenda/impersonation"},
    {Help::Settings, "settings", "Settings control", "testtube.2", "https://docs.example.com/morvenda/settings-control"},
    {Help::Console, "console", "Console", "square.bottomthird.inset.filled", "https://docs.example.com/morvenda/console"},
    {Help::Network, "network", "Networking", "calendar.day.timeline.left", "https://docs.example.com/morvenda/networking"},
    {Help::UniversalLinks, "universalLinks", "Universal Links", "link", "https://docs.example.com/morvenda/universal-links"},
    {Help::SaveAndOpenFiles, "saveAndOpenFiles", "Save and Open Files", "folder.fill",
     "https://docs.example.com/morvenda/save-and-open-files"},
    {Help::Metrics, "metrics", "Metrics", "chart.bar.xaxis", "https://docs.example.com/morvenda/metrics"},
    {Help::Filters, "filters", "Filters", "line.3.horizontal.decrease.circle", "https://docs.example.com/morvenda/filters"},
    {Help::Milestones, "milestones", "Milestones", "flag.fill", "https://docs.example.com/morvenda/milestones"},
};

static_assert(std::size(kArticles) == kAllHelpArticles.size());

const Article &article(Help help)
{
    const auto index = static_cast<std::size_t>(help);
    Q_ASSERT(index < std::size(kArticles) && kArticles[index].help == help);
    return kArticles[index];
}

} // namespace

QString rawValue(Help help)
{
    return QString::fromLatin1(article(help).raw);
}

std::optional<Help> helpFromRawValue(QStringView raw)
{
    for (const Article &entry : kArticles) {
        if (raw == QLatin1StringView(entry.raw))
            return entry.help;
    }
    return std::nullopt;
}

QString helpTitle(Help help)
{
    return QString::fromLatin1(article(help).title);
}

QString helpIconSymbol(Help help)
{
    return QString::fromLatin1(article(help).symbol);
}

std::optional<QUrl> helpUrl(Help help)
{
    const QUrl result(QString::fromLatin1(article(help).address), QUrl::StrictMode);
    if (!result.isValid() || result.isRelative())
        return std::nullopt;
    return result;
}
