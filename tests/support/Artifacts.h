// Screenshots of the widgets under test, saved where the test environment collects them.
#pragma once

#include <QDir>
#include <QWidget>

inline void saveArtifact(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        widget->grab().save(dir + QLatin1Char('/') + name);
    }
}
