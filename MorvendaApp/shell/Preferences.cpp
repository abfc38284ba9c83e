#include "Preferences.h"

#include <QLoggingCategory>
#include <QSettings>

Q_LOGGING_CATEGORY(lcPreferences, "morvenda.Preferences")

Preferences::Preferences(QSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_preferredColorScheme(
          ColorSchemePreference::fromStored(settings.value(QLatin1StringView(ColorSchemePreference::kSettingsKey))))
{
}

PreferredColorScheme Preferences::preferredColorScheme() const
{
    return m_preferredColorScheme;
}

void Preferences::setPreferredColorScheme(PreferredColorScheme scheme)
{
    m_preferredColorScheme = scheme;
    m_settings.setValue(QLatin1StringView(ColorSchemePreference::kSettingsKey), ColorSchemePreference::rawValue(scheme));
    m_settings.sync();
    if (m_settings.status() != QSettings::NoError)
        qCWarning(lcPreferences) << "could not store the colour scheme in" << m_settings.fileName();
    emit preferredColorSchemeChanged(scheme);
}
