// One stored user of the impersonation list, as read from or written to the stored-user store.
// A plain value that carries the store's identity of its record: copies of one record share it.
// Main thread (like the store), though the value itself may be copied anywhere.
#pragma once

#include "AppType.h"
#include "MorvendaModel/Url.h"
#include "MorvendaModel/UserTag.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

class ImpersonateUserData
{
public:
    using Identity = qint64;

    ImpersonateUserData() = default;
    // Every field in schema order; the result has no identity until the store gives it one.
    ImpersonateUserData(QString userToken, std::optional<QString> retailerToken,
        std::optional<QString> brandToken, std::optional<Url> imageURL, QString name,
        std::optional<QString> email, std::optional<QString> country, bool favorite,
        std::optional<QString> notes, std::optional<QList<UserTag>> tags);

    // The store's identity of the record; 0 for a value the store has not stored yet.
    Identity id = 0;

    QString userToken;
    std::optional<QString> retailerToken;
    std::optional<QString> brandToken;
    std::optional<Url> imageURL;
    // Empty text when the app sent none.
    QString name;
    std::optional<QString> email;
    // The retailer's country text as the app sent it ("USA", "GER", …).
    std::optional<QString> country;
    bool favorite = false;
    // Never empty text: the store keeps empty notes as none.
    std::optional<QString> notes;
    // None (no tags reported) is distinct from an empty list.
    std::optional<QList<UserTag>> tags;

    bool isStored() const { return id != 0; }
    // True for the app this user belongs to; a user with both tokens belongs to both.
    bool belongsTo(AppType app) const;

    // Records are equal by identity only: two stored records with equal fields differ, and a value
    // the store has not stored yet equals nothing.
    friend bool operator==(const ImpersonateUserData &a, const ImpersonateUserData &b)
    {
        return a.id != 0 && a.id == b.id;
    }
};

size_t qHash(const ImpersonateUserData &record, size_t seed = 0);

Q_DECLARE_METATYPE(ImpersonateUserData)
