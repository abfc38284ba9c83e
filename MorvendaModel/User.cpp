#include "User.h"

#include "CanonicalText.h"

namespace {

bool equalTexts(const QStringList &a, const QStringList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!CanonicalText::equal(a[i], b[i]))
            return false;
    }
    return true;
}

} // namespace

Retailer::Retailer(std::optional<QString> name, std::optional<QString> token, bool isActive,
                   std::optional<QString> country, std::optional<QString> multiUserState,
                   std::optional<QString> ostraneMembershipStatus)
    : m_name(std::move(name)),
      m_token(std::move(token)),
      m_isActive(isActive),
      m_country(std::move(country)),
      m_multiUserState(std::move(multiUserState)),
      m_ostraneMembershipStatus(std::move(ostraneMembershipStatus))
{
}

bool operator==(const Retailer &a, const Retailer &b)
{
    return CanonicalText::equal(a.m_name, b.m_name) && CanonicalText::equal(a.m_token, b.m_token)
        && a.m_isActive == b.m_isActive && CanonicalText::equal(a.m_country, b.m_country)
        && CanonicalText::equal(a.m_multiUserState, b.m_multiUserState)
        && CanonicalText::equal(a.m_ostraneMembershipStatus, b.m_ostraneMembershipStatus);
}

bool operator==(const Brand &a, const Brand &b)
{
    return CanonicalText::equal(a.name, b.name) && CanonicalText::equal(a.token, b.token)
        && a.isActive == b.isActive && CanonicalText::equal(a.country, b.country);
}

User::User(std::optional<QString> name, std::optional<QString> token, std::optional<QString> email,
           QStringList capabilities, std::optional<Url> profileImageURL, bool isImpersonating,
           bool isSubuser, bool isAdmin, std::optional<Retailer> retailer,
           std::optional<Brand> brand)
    : m_name(std::move(name)),
      m_token(std::move(token)),
      m_email(std::move(email)),
      m_capabilities(std::move(capabilities)),
      m_profileImageURL(std::move(profileImageURL)),
      m_isImpersonating(isImpersonating),
      m_isSubuser(isSubuser),
      m_isAdmin(isAdmin),
      m_retailer(std::move(retailer)),
      m_brand(std::move(brand))
{
    deriveTags();
}

User User::withTags(std::optional<QString> name, std::optional<QString> token,
                    std::optional<QString> email, QStringList capabilities,
                    std::optional<Url> profileImageURL, bool isImpersonating, bool isSubuser,
                    bool isAdmin, QList<UserTag> tags, std::optional<Retailer> retailer,
                    std::optional<Brand> brand)
{
    User user;
    user.m_name = std::move(name);
    user.m_token = std::move(token);
    user.m_email = std::move(email);
    user.m_capabilities = std::move(capabilities);
    user.m_profileImageURL = std::move(profileImageURL);
    user.m_isImpersonating = isImpersonating;
    user.m_isSubuser = isSubuser;
    user.m_isAdmin = isAdmin;
    user.m_tags = std::move(tags);
    user.m_retailer = std::move(retailer);
    user.m_brand = std::move(brand);
    return user;
}

// The order of the tags is part of the value (users compare tag lists in order), so the steps
// below append in a fixed sequence.
void User::deriveTags()
{
    m_tags.clear();
    if (m_isImpersonating)
        m_tags.append(UserTag::Impersonating);
    if (m_isAdmin)
        m_tags.append(UserTag::Admin);
    if ((m_retailer && m_retailer->isActive()) || (m_brand && m_brand->isActive))
        m_tags.append(UserTag::Active);
    if (!m_token)
        m_tags.append(UserTag::LoggedOut);
    if (m_isSubuser)
        m_tags.append(UserTag::Subuser);
    else if (!m_isAdmin && m_token)
        m_tags.append(UserTag::AccountOwner);
    if (m_capabilities.contains(QStringLiteral("retailerPlaceOrder")))
        m_tags.append(UserTag::PlaceOrder);
    else if (!m_capabilities.isEmpty() && !m_isAdmin)
        m_tags.append(UserTag::CantPlaceOrder);
    if (m_retailer && m_retailer->ostraneMembershipStatus()) {
        const QString &status = *m_retailer->ostraneMembershipStatus();
        const std::pair<QStringView, UserTag> words[] = {
            {u"active", UserTag::Ostrane},
            {u"churned", UserTag::OstraneChurned},
            {u"eligible", UserTag::OstraneEligible},
            {u"unpaid", UserTag::OstraneUnpaid},
            {u"paused", UserTag::OstranePaused},
        };
        for (const auto &[word, tag] : words) {
            if (status.contains(word))
                m_tags.append(tag);
        }
    }
}

bool operator==(const User &a, const User &b)
{
    return CanonicalText::equal(a.m_name, b.m_name) && CanonicalText::equal(a.m_token, b.m_token)
        && CanonicalText::equal(a.m_email, b.m_email)
        && equalTexts(a.m_capabilities, b.m_capabilities)
        && a.m_profileImageURL == b.m_profileImageURL && a.m_isImpersonating == b.m_isImpersonating
        && a.m_isSubuser == b.m_isSubuser && a.m_isAdmin == b.m_isAdmin && a.m_tags == b.m_tags
        && a.m_retailer == b.m_retailer && a.m_brand == b.m_brand;
}
