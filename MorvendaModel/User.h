// The user signed in to a connected app, with its retailer or brand account.
// Plain values; safe to copy across threads.
#pragma once

#include "MorvendaModel/Url.h"
#include "MorvendaModel/UserTag.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Retailer
{
public:
    Retailer(std::optional<QString> name, std::optional<QString> token, bool isActive,
             std::optional<QString> country, std::optional<QString> multiUserState,
             std::optional<QString> ostraneMembershipStatus);

    const std::optional<QString> &name() const { return m_name; }
    const std::optional<QString> &token() const { return m_token; }
    bool isActive() const { return m_isActive; }
    const std::optional<QString> &country() const { return m_country; }
    const std::optional<QString> &multiUserState() const { return m_multiUserState; }
    // Free text of the retailer membership programme's status, searched for tag words.
    const std::optional<QString> &ostraneMembershipStatus() const { return m_ostraneMembershipStatus; }

    friend bool operator==(const Retailer &a, const Retailer &b);

private:
    std::optional<QString> m_name;
    std::optional<QString> m_token;
    bool m_isActive = false;
    std::optional<QString> m_country;
    std::optional<QString> m_multiUserState;
    std::optional<QString> m_ostraneMembershipStatus;
};

// Fields may be replaced after construction.
struct Brand
{
    std::optional<QString> name;
    std::optional<QString> token;
    bool isActive = false;
    std::optional<QString> country;

    friend bool operator==(const Brand &a, const Brand &b);
};

class User
{
public:
    // Derives the tags from the other fields (see deriveTags).
    User(std::optional<QString> name, std::optional<QString> token, std::optional<QString> email,
         QStringList capabilities, std::optional<Url> profileImageURL, bool isImpersonating,
         bool isSubuser, bool isAdmin, std::optional<Retailer> retailer, std::optional<Brand> brand);

    // Every field as given, tags included (the reader's constructor: tags come from the wire).
    static User withTags(std::optional<QString> name, std::optional<QString> token,
                         std::optional<QString> email, QStringList capabilities,
                         std::optional<Url> profileImageURL, bool isImpersonating, bool isSubuser,
                         bool isAdmin, QList<UserTag> tags, std::optional<Retailer> retailer,
                         std::optional<Brand> brand);

    const std::optional<QString> &name() const { return m_name; }
    // Absent for a signed-out user.
    const std::optional<QString> &token() const { return m_token; }
    const std::optional<QString> &email() const { return m_email; }
    const QStringList &capabilities() const { return m_capabilities; }
    const std::optional<Url> &profileImageURL() const { return m_profileImageURL; }
    bool isImpersonating() const { return m_isImpersonating; }
    bool isSubuser() const { return m_isSubuser; }
    bool isAdmin() const { return m_isAdmin; }
    const QList<UserTag> &tags() const { return m_tags; }
    const std::optional<Retailer> &retailer() const { return m_retailer; }
    const std::optional<Brand> &brand() const { return m_brand; }

    // All eleven fields in order; lists element by element; the URL by its text.
    friend bool operator==(const User &a, const User &b);

private:
    User() = default;
    void deriveTags();

    std::optional<QString> m_name;
    std::optional<QString> m_token;
    std::optional<QString> m_email;
    QStringList m_capabilities;
    std::optional<Url> m_profileImageURL;
    bool m_isImpersonating = false;
    bool m_isSubuser = false;
    bool m_isAdmin = false;
    QList<UserTag> m_tags;
    std::optional<Retailer> m_retailer;
    std::optional<Brand> m_brand;
};
