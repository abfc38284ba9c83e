#include "PreferredColorScheme.h"

namespace ColorSchemePreference {

QList<PreferredColorScheme> allCases()
{
    return {PreferredColorScheme::System, PreferredColorScheme::Light, PreferredColorScheme::Dark};
}

QString rawValue(PreferredColorScheme scheme)
{
    switch (scheme) {
    case PreferredColorScheme::Light:
        return QStringLiteral("light");
    case PreferredColorScheme::Dark:
        return QStringLiteral("dark");
    case PreferredColorScheme::System:
        break;
    }
    return QStringLiteral("system");
}

std::optional<PreferredColorScheme> fromRawValue(const QString &raw)
{
    for (const PreferredColorScheme scheme : allCases()) {
        if (raw == rawValue(scheme))
            return scheme;
    }
    return std::nullopt;
}

PreferredColorScheme fromStored(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QString)
        return PreferredColorScheme::System;
    return fromRawValue(stored.toString()).value_or(PreferredColorScheme::System);
}

QString pickerLabel(PreferredColorScheme scheme)
{
    const QString raw = rawValue(scheme);
    return raw.left(1).toUpper() + raw.mid(1);
}

} // namespace ColorSchemePreference
