#include "FakeSystemColorScheme.h"

#include "MorvendaApp/shell/AppearanceService.h"
#include "MorvendaApp/shell/GeneralSettingsView.h"
#include "MorvendaApp/shell/Preferences.h"
#include "MorvendaApp/shell/PreferencesView.h"
#include "MorvendaApp/shell/ShellPalette.h"

#include "MorvendaApp/shell/Asset.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(PreferredColorScheme)

class TestPreferences : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void storedValueReads_data();
    void storedValueReads();
    void nothingIsWrittenUntilTheUserPicks();
    void pickingDarkStoresItAndRepalettesEveryWindowAndFollower();
    void systemFollowsTheSystemAgain();
    void preferencesWindowFitsItsContent();
    void sampleWindowInForcedLightAndDark();

private:
    QSettings &settings() { return *m_settings; }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
};

namespace {

QColor windowColour(const QWidget &widget)
{
    return widget.palette().color(QPalette::Window);
}

const QString kKey = QString::fromLatin1(ColorSchemePreference::kSettingsKey);

// A window with the common controls, for looking at both palettes.
std::unique_ptr<QWidget> sampleWindow()
{
    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Sample"));
    auto *layout = new QHBoxLayout(window.get());

    auto *list = new QListWidget;
    for (const char *row : {"GET /api/user", "POST /api/event", "GET /api/settings", "PUT /api/cart", "DELETE /api/item"})
        list->addItem(QString::fromLatin1(row));
    list->setAlternatingRowColors(true);
    list->setCurrentRow(1);
    layout->addWidget(list);

    auto *form = new QFormLayout;
    auto *logo = new QLabel;
    logo->setPixmap(Asset::pixmap(Asset::logo, QSize(48, 48), window->devicePixelRatioF()));
    auto *brands = new QLabel;
    QPixmap pair(QSize(68, 32));
    pair.fill(Qt::transparent);
    {
        QPainter painter(&pair);
        painter.drawPixmap(0, 0, Asset::pixmap(Asset::retailerStageSmall, QSize(32, 32)));
        painter.drawPixmap(36, 0, Asset::pixmap(Asset::brandStageSmall, QSize(32, 32)));
    }
    brands->setPixmap(pair);
    form->addRow(logo, brands);
    auto *search = new QLineEdit;
    search->setPlaceholderText(QStringLiteral("Search setting"));
    form->addRow(QStringLiteral("Filter:"), search);
    auto *combo = new QComboBox;
    combo->addItems({QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark")});
    form->addRow(QStringLiteral("Appearance:"), combo);
    auto *check = new QCheckBox(QStringLiteral("Record timeline"));
    check->setChecked(true);
    form->addRow(check);
    form->addRow(new QRadioButton(QStringLiteral("Network")));
    auto *progress = new QProgressBar;
    progress->setValue(60);
    form->addRow(progress);
    auto *buttons = new QHBoxLayout;
    auto *primary = new QPushButton(QStringLiteral("Send setting override"));
    primary->setDefault(true);
    auto *disabled = new QPushButton(QStringLiteral("Disabled"));
    disabled->setEnabled(false);
    buttons->addWidget(primary);
    buttons->addWidget(disabled);
    form->addRow(buttons);
    layout->addLayout(form);
    window->resize(560, 260);
    return window;
}

} // namespace

void TestPreferences::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<QSettings>(m_dir->filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
}

void TestPreferences::storedValueReads_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<PreferredColorScheme>("expected");

    QTest::addRow("nothing stored reads as system") << QVariant() << PreferredColorScheme::System;
    QTest::addRow("dark reads as dark") << QVariant(QStringLiteral("dark")) << PreferredColorScheme::Dark;
    QTest::addRow("light reads as light") << QVariant(QStringLiteral("light")) << PreferredColorScheme::Light;
    QTest::addRow("system reads as system") << QVariant(QStringLiteral("system")) << PreferredColorScheme::System;
    QTest::addRow("the label Dark with its capital reads as system")
        << QVariant(QStringLiteral("Dark")) << PreferredColorScheme::System;
    QTest::addRow("an empty text reads as system") << QVariant(QString()) << PreferredColorScheme::System;
    QTest::addRow("garbage reads as system") << QVariant(QStringLiteral("dark\u0000mode")) << PreferredColorScheme::System;
    QTest::addRow("a number reads as system") << QVariant(2) << PreferredColorScheme::System;
    QTest::addRow("a list reads as system")
        << QVariant(QStringList{QStringLiteral("dark")}) << PreferredColorScheme::System;
}

void TestPreferences::storedValueReads()
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

void TestPreferences::nothingIsWrittenUntilTheUserPicks()
{
    Preferences preferences(settings());
    FakeSystemColorScheme system(ColorScheme::Light);
    AppearanceService appearance(preferences, system);
    PreferencesView view(preferences);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));

    QCOMPARE(view.generalSettings()->picker()->currentText(), QStringLiteral("System"));
    QVERIFY(!settings().contains(kKey));
}

void TestPreferences::pickingDarkStoresItAndRepalettesEveryWindowAndFollower()
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

    // System → (separator skipped) Light → Dark, as the keyboard does it.
    QComboBox *picker = view.generalSettings()->picker();
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
}

void TestPreferences::systemFollowsTheSystemAgain()
{
    Preferences preferences(settings());
    FakeSystemColorScheme system(ColorScheme::Dark);
    AppearanceService appearance(preferences, system);
    QCOMPARE(appearance.colorScheme(), ColorScheme::Dark);

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

void TestPreferences::preferencesWindowFitsItsContent()
{
    Preferences preferences(settings());
    PreferencesView view(preferences);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.width(), 350);
    QVERIFY(view.height() >= 100);
    QComboBox *picker = view.generalSettings()->picker();
    QVERIFY(view.rect().contains(QRect(picker->mapTo(&view, QPoint(0, 0)), picker->size())));
    QCOMPARE(picker->count(), 4); // System, divider, Light, Dark
    QCOMPARE(picker->itemText(2), QStringLiteral("Light"));
}

void TestPreferences::sampleWindowInForcedLightAndDark()
{
    Preferences preferences(settings());
    FakeSystemColorScheme system(ColorScheme::Light);
    AppearanceService appearance(preferences, system);
    const std::unique_ptr<QWidget> window = sampleWindow();
    window->show();
    PreferencesView preferencesWindow(preferences);
    preferencesWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    const QString artifacts = qEnvironmentVariable("MORVENDA_ARTIFACTS");
    for (const PreferredColorScheme forced : {PreferredColorScheme::Light, PreferredColorScheme::Dark}) {
        preferences.setPreferredColorScheme(forced);
        const QPalette expected = ShellPalette::forScheme(appearance.colorScheme());
        QTRY_COMPARE(windowColour(*window), expected.color(QPalette::Window));
        const QImage shot = window->grab().toImage();
        QCOMPARE(shot.pixelColor(2, 2), expected.color(QPalette::Window));
        const QString scheme = ColorSchemePreference::rawValue(forced);
        QVERIFY(shot.save(artifacts + QStringLiteral("/sample-window-%1.png").arg(scheme)));
        QTRY_COMPARE(windowColour(preferencesWindow), expected.color(QPalette::Window));
        QVERIFY(preferencesWindow.grab().save(artifacts + QStringLiteral("/preferences-window-%1.png").arg(scheme)));
    }
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
