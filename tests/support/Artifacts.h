// Screenshots of the widgets under test, saved where the test environment collects them.
#pragma once

#include "MorvendaApp/shell/ShellPalette.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <QWidget>

inline void saveArtifact(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("MORVENDA_ARTIFACTS");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        widget->grab().save(dir + QLatin1Char('/') + name);
    }
}

// The light and dark rows of a screenshot test, and the scheme a row shoots under.
inline void addSchemeRows()
{
    QTest::addColumn<bool>("dark");
    QTest::addRow("light") << false;
    QTest::addRow("dark") << true;
}

inline void useScheme(bool dark)
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(dark ? ShellPalette::dark() : ShellPalette::light());
}
