// Addresses of the company's admin pages for a retailer or a brand, on the staging web site.
// Any thread.
#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace AdminAddress {

// Scheme and host of the staging web site, without a trailing "/".
inline constexpr char kStagingOrigin[] = "https://staging.example.com";

// "<origin>/admin2/retailer/<token>". The token is percent-encoded as a single path segment
// ("/", "?", "#", "%" and spaces included), so whatever an app reports can only ever name that
// one account's page. No address without a token, for an empty one (the list of all accounts),
// nor for "." and "..", which are path steps.
std::optional<QUrl> retailer(const std::optional<QString> &token);
// "<origin>/admin2/brand/<token>", encoded the same way.
std::optional<QUrl> brand(const std::optional<QString> &token);

// A stored user's page: its retailer's when it has a retailer token, else its brand's, else none.
std::optional<QUrl> forStoredUser(const std::optional<QString> &retailerToken,
    const std::optional<QString> &brandToken);

} // namespace AdminAddress
