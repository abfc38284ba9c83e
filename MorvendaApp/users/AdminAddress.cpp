#include "AdminAddress.h"

namespace {

std::optional<QUrl> page(const char *kindPath, const std::optional<QString> &token)
{
    // "." and ".." stay as they are when encoded, and a browser resolves them as path steps:
    // ".../retailer/.." would open the admin site's index instead of an account, and so would
    // ".../retailer/" for an empty token.
    if (!token || token->isEmpty() || *token == u"." || *token == u"..") {
        return std::nullopt;
    }
    const QByteArray encoded = QByteArray(AdminAddress::kStagingOrigin) + kindPath + QUrl::toPercentEncoding(*token);
    QUrl url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!url.isValid()) {
        return std::nullopt;
    }
    return url;
}

} // namespace

namespace AdminAddress {

std::optional<QUrl> retailer(const std::optional<QString> &token)
{
    return page("/admin2/retailer/", token);
}

std::optional<QUrl> brand(const std::optional<QString> &token)
{
    return page("/admin2/brand/", token);
}

std::optional<QUrl> forStoredUser(const std::optional<QString> &retailerToken,
    const std::optional<QString> &brandToken)
{
    if (retailerToken) {
        return retailer(retailerToken);
    }
    return brand(brandToken);
}

} // namespace AdminAddress
