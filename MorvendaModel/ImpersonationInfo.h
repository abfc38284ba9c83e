// The token of the user a connected app is asked to impersonate (not validated; may be empty).
#pragma once

#include "MorvendaModel/CanonicalText.h"

#include <QString>

class ImpersonationInfo
{
public:
    explicit ImpersonationInfo(QString userTokenToImpersonate)
        : m_userTokenToImpersonate(std::move(userTokenToImpersonate))
    {
    }

    const QString &userTokenToImpersonate() const { return m_userTokenToImpersonate; }

    friend bool operator==(const ImpersonationInfo &a, const ImpersonationInfo &b)
    {
        return CanonicalText::equal(a.m_userTokenToImpersonate, b.m_userTokenToImpersonate);
    }

private:
    QString m_userTokenToImpersonate;
};
