#include "FakeSystemColorScheme.h"
#include "tests/support/Artifacts.h"

#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/GeneralSettingsView.h"
#include "MorvendaApp/shell/Preferences.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/shell/ShellPalette.h"

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(PreferredColorScheme)

namespace {

QColor windowColour(const QWidget &widget)
{
    return widget.palette().color(QPalette::Window);
}

const QString kKey = QString::fromLatin1(ColorSchemePreference::kSettingsKey);

} // namespace

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QSettings>(m_dir->filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    }

    void storedValueReads_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<PreferredColorScheme>("expected");

        QTest::addRow("nothing stored reads as system") << QVariant() << PreferredColorScheme::System;
        QTest::addRow("dark reads as dark") << QVariant(QStringLiteral("dark")) << PreferredColorScheme::Dark;
        QTest::addRow("light reads as light") << QVariant(QStringLiteral("light")) << PreferredColorScheme::Light;
        QTest::addRow("system reads as system") << QVariant(QStringLiteral("system")) << PreferredColorScheme::System;
        QTest::addRow("the label Dark with its capital reads as system")
            << QVariant(QStringLiteral("Dark")) << PreferredColorScheme::System;
        QTest::addRow("garbage reads as system") << QVariant(QStringLiteral("dark\u0000mode")) << PreferredColorScheme::System;
        QTest::addRow("a number reads as system") << QVariant(2) << PreferredColorScheme::System;
        QTest::addRow("a list reads as system")
            << QVariant(QStringList{QStringLiteral("dark")}) << PreferredColorScheme::System;
    }

    void storedValueReads()
    {
        QFETCH(QVariant, stored);
        QFETCH(PreferredColorScheme, expected);

        QCOMPARE(ColorSchemePreference::fromStored(stored), expected);
        // The same through a settings file, written and read back.
        if (stored.isValid())
            settings().setValue(kKey, stored);
        settings().sync();
        QSettings reread(settings().fileName(), QSettings::IniFormat);
        Preferences preferences(reread);
        QCOMPARE(preferences.preferredColorScheme(), expected);
    }

    void pickedSchemesAreStoredAndRepaletteEveryWindowAndFollower()
    {
        Preferences preferences(settings());
        FakeSystemColorScheme system(ColorScheme::Light);
        AppearanceService appearance(preferences, system);
        QList<ColorScheme> followed;
        QObject viewer;
        appearance.follow(&viewer, [&](ColorScheme scheme) { followed.append(scheme); });

        QWidget first;
        QWidget second;
        first.show();
        second.show();
        PreferencesView view(preferences);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(windowColour(first), ShellPalette::light().color(QPalette::Window));

        // Nothing is written until the user picks: System → (separator skipped) Light → Dark, as the
        // keyboard does it.
        QComboBox *picker = view.generalSettings()->picker();
        QCOMPARE(picker->currentText(), QStringLiteral("System"));
        QVERIFY(!settings().contains(kKey));
        picker->setFocus();
        QTest::keyClick(picker, Qt::Key_Down);
        QTest::keyClick(picker, Qt::Key_Down);

        QCOMPARE(picker->currentText(), QStringLiteral("Dark"));
        QCOMPARE(settings().value(kKey).toString(), QStringLiteral("dark"));
        QCOMPARE(appearance.colorScheme(), ColorScheme::Dark);
        // Open windows take the application palette on the next turn of the event loop.
        for (const QWidget *window : {&first, &second, static_cast<QWidget *>(&view)})
            QTRY_COMPARE(windowColour(*window), ShellPalette::dark().color(QPalette::Window));
        QCOMPARE(followed, (QList<ColorScheme>{ColorScheme::Light, ColorScheme::Light, ColorScheme::Dark}));

        // A window opened later gets the dark palette too.
        QWidget later;
        QCOMPARE(windowColour(later), ShellPalette::dark().color(QPalette::Window));
        saveArtifact(&view, QStringLiteral("preferences-window-dark.png"));

        // A chosen scheme holds against the system's; System follows the system again.
        preferences.setPreferredColorScheme(PreferredColorScheme::Light);
        system.set(ColorScheme::Dark);
        QCOMPARE(appearance.colorScheme(), ColorScheme::Light);
        preferences.setPreferredColorScheme(PreferredColorScheme::System);
        QCOMPARE(settings().value(kKey).toString(), QStringLiteral("system"));
        QCOMPARE(appearance.colorScheme(), ColorScheme::Dark);
        QCOMPARE(QApplication::palette().color(QPalette::Base), ShellPalette::dark().color(QPalette::Base));
        system.set(ColorScheme::Light);
        QCOMPARE(appearance.colorScheme(), ColorScheme::Light);
    }

private:
    QSettings &settings() { return *m_settings; }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
