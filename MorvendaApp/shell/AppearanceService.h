// Resolves the colour scheme the windows show (the preference, or the system's for "system") and
// applies our palette on the Fusion style to the whole application, so every open and future
// window follows. Code viewers and other scheme-dependent views follow colorSchemeChanged.
// Made once by the application after the QApplication; main thread.
#pragma once

#include "MorvendaApp/shell/PreferredColorScheme.h"

#include <QObject>

class Preferences;
class SystemColorScheme;

class AppearanceService : public QObject
{
    Q_OBJECT

public:
    AppearanceService(Preferences &preferences, SystemColorScheme &system, QObject *parent = nullptr);

    ColorScheme colorScheme() const;

    // Calls `onScheme(ColorScheme)` now and after every resolution, for the life of `context`.
    template<typename Function>
    void follow(const QObject *context, Function onScheme)
    {
        connect(this, &AppearanceService::colorSchemeChanged, context, onScheme);
        onScheme(m_colorScheme);
    }

signals:
    // After the palette is applied; on every preference assignment and system change.
    void colorSchemeChanged(ColorScheme scheme);

private:
    void resolve();

    Preferences &m_preferences;
    SystemColorScheme &m_system;
    ColorScheme m_colorScheme = ColorScheme::Light;
};
