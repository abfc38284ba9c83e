#include "UserTag.h"

#include <QHash>

#include <array>

namespace {

constexpr std::array<QStringView, 13> kRawValues = {
    u"impersonating", u"subuser",        u"accountOwner",    u"admin",
    u"active",        u"placeOrder",     u"cantPlaceOrder",  u"ostrane",
    u"ostraneChurned", u"ostraneEligible", u"ostraneUnpaid", u"ostranePaused",
    u"loggedOut",
};

} // namespace

QString rawValue(UserTag tag)
{
    return kRawValues[static_cast<size_t>(tag)].toString();
}

std::optional<UserTag> userTagFromRawValue(QStringView text)
{
    for (size_t i = 0; i < kRawValues.size(); ++i) {
        if (text == kRawValues[i])
            return static_cast<UserTag>(i);
    }
    return std::nullopt;
}

size_t qHash(UserTag tag, size_t seed)
{
    return qHash(kRawValues[static_cast<size_t>(tag)], seed);
}
