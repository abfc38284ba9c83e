// A named counter of the signed-in user with its creation and update times. Immutable value.
#pragma once

#include "MorvendaModel/CanonicalText.h"

#include <QString>

#include <optional>

class Milestone
{
public:
    // Dates are seconds since 1970-01-01 00:00:00 UTC.
    Milestone(QString key, qint64 count, std::optional<double> createdAt,
              std::optional<double> updatedAt)
        : m_key(std::move(key)), m_count(count), m_createdAt(createdAt), m_updatedAt(updatedAt)
    {
    }

    // The milestone's name; also its identity.
    const QString &key() const { return m_key; }
    const QString &id() const { return m_key; }
    qint64 count() const { return m_count; }
    std::optional<double> createdAt() const { return m_createdAt; }
    std::optional<double> updatedAt() const { return m_updatedAt; }

    friend bool operator==(const Milestone &a, const Milestone &b)
    {
        return CanonicalText::equal(a.m_key, b.m_key) && a.m_count == b.m_count
            && a.m_createdAt == b.m_createdAt && a.m_updatedAt == b.m_updatedAt;
    }

private:
    QString m_key;
    qint64 m_count = 0;
    std::optional<double> m_createdAt;
    std::optional<double> m_updatedAt;
};
