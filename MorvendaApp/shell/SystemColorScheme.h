// Where the system's colour scheme comes from. The application uses the desktop portal
// (PortalColorScheme); tests inject their own. Main thread.
#pragma once

#include "MorvendaApp/shell/PreferredColorScheme.h"

#include <QObject>

class SystemColorScheme : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual ColorScheme colorScheme() const = 0;

signals:
    // Emitted after colorScheme() changed, with the new value.
    void colorSchemeChanged(ColorScheme scheme);
};
