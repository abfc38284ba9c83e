#include "GeneralSettingsView.h"

#include "Preferences.h"

#include "MorvendaApp/core/L10n.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

GeneralSettingsView::GeneralSettingsView(Preferences &preferences, QWidget *parent)
    : QWidget(parent)
    , m_preferences(preferences)
{
    buildLayout();
    connectSignals();
    showPreference();
}

void GeneralSettingsView::buildLayout()
{
    m_picker = new QComboBox(this);
    for (const PreferredColorScheme scheme : ColorSchemePreference::allCases()) {
        m_picker->addItem(ColorSchemePreference::pickerLabel(scheme), QVariant::fromValue(scheme));
        if (scheme == PreferredColorScheme::System)
            m_picker->insertSeparator(m_picker->count());
    }
    auto *label = new QLabel(L10n::text("Appearance:"), this);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(m_picker);

    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(label);
    row->addWidget(m_picker);
    row->addStretch();

    auto *column = new QVBoxLayout(this);
    column->addStretch();
    column->addLayout(row);
    column->addStretch();
}

void GeneralSettingsView::connectSignals()
{
    // `activated` comes only from the user, so showing the stored value never writes it.
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        const QVariant choice = m_picker->itemData(index);
        if (choice.isValid())
            m_preferences.setPreferredColorScheme(choice.value<PreferredColorScheme>());
    });
    connect(&m_preferences, &Preferences::preferredColorSchemeChanged, this, &GeneralSettingsView::showPreference);
}

void GeneralSettingsView::showPreference()
{
    m_picker->setCurrentIndex(m_picker->findData(QVariant::fromValue(m_preferences.preferredColorScheme())));
}
