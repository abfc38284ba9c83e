#include "SideView.h"

#include "L10n.h"

namespace {

template<typename Enum, std::size_t N>
std::optional<Enum> fromRaw(const std::array<Enum, N> &cases, QStringView raw)
{
    for (Enum value : cases) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(SideView view)
{
    switch (view) {
    case SideView::User: return QStringLiteral("user");
    case SideView::Impersonation: return QStringLiteral("impersonation");
    case SideView::Settings: return QStringLiteral("settings");
    case SideView::Milestone: return QStringLiteral("milestone");
    case SideView::Deeplink: return QStringLiteral("deeplink");
    case SideView::None: return QStringLiteral("none");
    }
    Q_UNREACHABLE();
    return QString();
}

QString rawValue(BottomView view)
{
    switch (view) {
    case BottomView::Metrics: return QStringLiteral("metrics");
    case BottomView::Console: return QStringLiteral("console");
    case BottomView::None: return QStringLiteral("none");
    }
    Q_UNREACHABLE();
    return QString();
}

std::optional<SideView> sideViewFromRawValue(QStringView raw)
{
    return fromRaw(kAllSideViews, raw);
}

std::optional<BottomView> bottomViewFromRawValue(QStringView raw)
{
    return fromRaw(kAllBottomViews, raw);
}

QString helpText(SideView view)
{
    switch (view) {
    case SideView::User: return L10n::text("User.help");
    case SideView::Impersonation: return L10n::text("Impersonation.help");
    case SideView::Settings: return L10n::text("Setting.help");
    case SideView::Milestone: return L10n::text("Milestone.help");
    case SideView::Deeplink: return L10n::text("Deeplink.help");
    case SideView::None: return QString();
    }
    Q_UNREACHABLE();
    return QString();
}
