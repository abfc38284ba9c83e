// Tags that classify a signed-in user; the raw values equal the case names and are the wire form.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

enum class UserTag {
    Impersonating,
    Subuser,
    AccountOwner,
    Admin,
    Active,
    PlaceOrder,
    CantPlaceOrder,
    Ostrane,
    OstraneChurned,
    OstraneEligible,
    OstraneUnpaid,
    OstranePaused,
    LoggedOut,
};

// "impersonating", "subuser", "accountOwner", …, "loggedOut"; also the tag's label in the views.
QString rawValue(UserTag tag);
// Exactly one of the thirteen raw values (case-sensitive), otherwise empty.
std::optional<UserTag> userTagFromRawValue(QStringView text);

size_t qHash(UserTag tag, size_t seed = 0);
