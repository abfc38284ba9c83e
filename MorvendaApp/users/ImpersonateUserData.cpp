#include "ImpersonateUserData.h"

#include <QHashFunctions>

ImpersonateUserData::ImpersonateUserData(QString userToken, std::optional<QString> retailerToken,
    std::optional<QString> brandToken, std::optional<Url> imageURL, QString name, std::optional<QString> email,
    std::optional<QString> country, bool favorite, std::optional<QString> notes, std::optional<QList<UserTag>> tags)
    : userToken(std::move(userToken))
    , retailerToken(std::move(retailerToken))
    , brandToken(std::move(brandToken))
    , imageURL(std::move(imageURL))
    , name(std::move(name))
    , email(std::move(email))
    , country(std::move(country))
    , favorite(favorite)
    , notes(std::move(notes))
    , tags(std::move(tags))
{
}

bool ImpersonateUserData::belongsTo(AppType app) const
{
    switch (app) {
    case AppType::Retailer:
        return retailerToken.has_value();
    case AppType::Brand:
        return brandToken.has_value();
    }
    return false;
}

size_t qHash(const ImpersonateUserData &record, size_t seed)
{
    return ::qHash(record.id, seed);
}
