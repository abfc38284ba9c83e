#include "PreferencesView.h"

#include "GeneralSettingsView.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"

#include <QEvent>

#include <QTabWidget>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 350;
constexpr int kMinimumHeight = 100;
constexpr int kPadding = 20;
} // namespace

PreferencesView::PreferencesView(Preferences &preferences, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_general(new GeneralSettingsView(preferences, m_tabs))
{
    const QString general = L10n::text("General");
    setWindowTitle(general);
    m_tabs->addTab(m_general, general);
    tintTabIcon();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->addWidget(m_tabs);
    // A fixed, small window; taller only when the fonts need it so nothing is clipped.
    setFixedSize(kWidth, std::max(kMinimumHeight, sizeHint().height()));
}

void PreferencesView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        tintTabIcon();
}

void PreferencesView::tintTabIcon()
{
    m_tabs->setTabIcon(0, Symbols::icon(QStringLiteral("gear"), namedColor(NamedColor::Primary, palette())));
}
