// The two mobile apps whose users the impersonation list holds, by which stored users are filtered
// and badged. The raw values are also the identities. Plain value.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

enum class AppType {
    Retailer,
    Brand,
};

// Every case, in this order (the order of the app filter chips).
inline constexpr std::array<AppType, 2> allAppTypes{AppType::Retailer, AppType::Brand};

// "retailer" or "brand".
QString rawValue(AppType app);
// Exactly one of the raw values (case-sensitive), otherwise empty.
std::optional<AppType> appTypeFromRawValue(QStringView text);

size_t qHash(AppType app, size_t seed = 0);
