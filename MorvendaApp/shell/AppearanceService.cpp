#include "AppearanceService.h"

#include "Preferences.h"
#include "ShellPalette.h"
#include "SystemColorScheme.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QStyle>
#include <QStyleFactory>

Q_LOGGING_CATEGORY(lcAppearance, "morvenda.AppearanceService")

AppearanceService::AppearanceService(Preferences &preferences, SystemColorScheme &system, QObject *parent)
    : QObject(parent)
    , m_preferences(preferences)
    , m_system(system)
{
    // Our palettes are drawn for Fusion; other styles ignore parts of them.
    if (QApplication::style()->name().compare(u"fusion", Qt::CaseInsensitive) != 0) {
        if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
            QApplication::setStyle(fusion);
        else
            qCWarning(lcAppearance) << "the Fusion style is missing; colours may look wrong";
    }
    connect(&m_preferences, &Preferences::preferredColorSchemeChanged, this, &AppearanceService::resolve);
    connect(&m_system, &SystemColorScheme::colorSchemeChanged, this, &AppearanceService::resolve);
    resolve();
}

ColorScheme AppearanceService::colorScheme() const
{
    return m_colorScheme;
}

void AppearanceService::resolve()
{
    switch (m_preferences.preferredColorScheme()) {
    case PreferredColorScheme::Light:
        m_colorScheme = ColorScheme::Light;
        break;
    case PreferredColorScheme::Dark:
        m_colorScheme = ColorScheme::Dark;
        break;
    case PreferredColorScheme::System:
        m_colorScheme = m_system.colorScheme();
        break;
    }
    QApplication::setPalette(ShellPalette::forScheme(m_colorScheme));
    emit colorSchemeChanged(m_colorScheme);
}
