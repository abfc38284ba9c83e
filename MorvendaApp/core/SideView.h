// The side panels and bottom panes the main window can show. Plain values, any thread.
// A side panel's raw value is also the identifier of the panel's own window.
#pragma once

#include <QHashFunctions>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class SideView { User, Impersonation, Settings, Milestone, Deeplink, None };

enum class BottomView { Metrics, Console, None };

// Every case in declaration order, `None` last; code that lists panels leaves `None` out itself.
inline constexpr std::array<SideView, 6> kAllSideViews = {SideView::User, SideView::Impersonation,
    SideView::Settings, SideView::Milestone, SideView::Deeplink, SideView::None};
inline constexpr std::array<BottomView, 3> kAllBottomViews = {BottomView::Metrics, BottomView::Console,
    BottomView::None};

QString rawValue(SideView view);
QString rawValue(BottomView view);

// Exactly the raw values, case-sensitive; anything else gives no value.
std::optional<SideView> sideViewFromRawValue(QStringView raw);
std::optional<BottomView> bottomViewFromRawValue(QStringView raw);

// The localized help text of a panel's menu items and toolbar button; empty for `None`.
QString helpText(SideView view);

inline size_t qHash(SideView view, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(view), seed);
}

inline size_t qHash(BottomView view, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(view), seed);
}
