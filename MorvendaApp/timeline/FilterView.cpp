#include "MorvendaApp/timeline/FilterView.h"

#include "MorvendaApp/components/FlowStack.h"
#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/timeline/ColoredMenuAction.h"
#include "MorvendaApp/timeline/QuickFilterChip.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kMenuWidthWithoutMethod = 50;
constexpr int kMenuWidthWithMethod = 100;

QString checkSymbol(bool checked)
{
    return checked ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle");
}

QAction *addHeader(QMenu *menu, const QString &text)
{
    QAction *header = menu->addAction(text);
    header->setEnabled(false);
    return header;
}

} // namespace

FilterView::FilterView(FilterViewModel &filterViewModel, QWidget *parent)
    : QWidget(parent)
    , m_filterViewModel(filterViewModel)
{
    buildLayout();
    connectSignals();
    refresh();
}

QColor FilterView::methodColor(std::optional<Method> method, const QPalette &palette, bool row)
{
    const bool dark = isDarkPalette(palette);
    if (!method) {
        if (!row)
            return namedColor(NamedColor::Accent, palette);
        // White vanishes on a light menu.
        return dark ? QColor(Qt::white) : namedColor(NamedColor::Primary, palette);
    }
    switch (*method) {
    case Method::Post: return namedColor(NamedColor::Green, palette);
    case Method::Get: return namedColor(NamedColor::Blue, palette);
    case Method::Put:
        // The system yellow is barely legible on a light menu.
        return dark ? namedColor(NamedColor::Yellow, palette) : QColor(0xb2, 0x8c, 0x00);
    case Method::Delete: return namedColor(NamedColor::Pink, palette);
    }
    return namedColor(NamedColor::Accent, palette);
}

void FilterView::buildLayout()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    auto *chips = new QWidget(this);
    auto *flow = new FlowStack(chips, Qt::AlignLeft, 4, 4);
    flow->setContentsMargins(0, 0, 0, 0);
    for (const QuickFilter filter : QuickFilters::allCases()) {
        auto *chip = new QuickFilterChip(filter, chips);
        flow->addWidget(chip);
        m_chips.append(chip);
    }
    column->addWidget(chips);

    auto *row = new QHBoxLayout;
    m_menuButton = new QToolButton(this);
    m_menuButton->setObjectName(QStringLiteral("filterMenuButton"));
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_menuButton->setAutoRaise(true);
    m_menu = new QMenu(m_menuButton);
    m_menuButton->setMenu(m_menu);
    row->addWidget(m_menuButton);

    m_textField = new QLineEdit(this);
    m_textField->setObjectName(QStringLiteral("filterTextField"));
    m_textField->setClearButtonEnabled(false);
    row->addWidget(m_textField, 1);
    column->addLayout(row);
}

void FilterView::connectSignals()
{
    for (QuickFilterChip *chip : std::as_const(m_chips))
        connect(chip, &QToolButton::clicked, this, [this, chip] { selectChip(chip->filter()); });
    connect(m_menu, &QMenu::aboutToShow, this, &FilterView::rebuildMenu);
    connect(m_textField, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filter = text;
        m_textFilterCall.schedule();
    });
}

void FilterView::rebuildMenu()
{
    m_menu->clear();
    addHeader(m_menu, L10n::text("Filter.textFilterOptions"));
    for (const TextFilter mode : {TextFilter::FilterIn, TextFilter::FilterOut}) {
        auto *action = new ColoredMenuAction(checkSymbol(m_textFilter == mode), textFilterLabel(mode),
            [](const QPalette &palette) { return namedColor(NamedColor::Primary, palette); }, m_menu);
        connect(action, &QAction::triggered, this, [this, mode] { chooseTextFilter(mode); });
        m_menu->addAction(action);
    }
    m_menu->addSeparator();
    addHeader(m_menu, L10n::text("Filter.methodFilterOptions"));
    auto *none = new ColoredMenuAction(checkSymbol(!m_methodFilter), L10n::text("Filter.noMethodFilter"),
        [](const QPalette &palette) { return methodColor(std::nullopt, palette, true); }, m_menu);
    connect(none, &QAction::triggered, this, [this] { chooseMethod(std::nullopt); });
    m_menu->addAction(none);
    for (const Method method : allMethods()) {
        auto *action = new ColoredMenuAction(checkSymbol(m_methodFilter == method), rawValue(method).toUpper(),
            [method](const QPalette &palette) { return methodColor(method, palette, true); }, m_menu);
        connect(action, &QAction::triggered, this, [this, method] { chooseMethod(method); });
        m_menu->addAction(action);
    }
}

void FilterView::refresh()
{
    for (QuickFilterChip *chip : std::as_const(m_chips))
        chip->setChosen(m_quickFilter == chip->filter());

    const QColor tint = methodColor(m_methodFilter, palette(), false);
    const QString symbol = m_textFilter == TextFilter::FilterIn
        ? QStringLiteral("line.3.horizontal.decrease.circle")
        : QStringLiteral("line.3.horizontal.decrease.circle.fill");
    m_menuButton->setIcon(Symbols::icon(symbol, tint, 16));
    m_menuButton->setText(m_methodFilter ? rawValue(*m_methodFilter).toUpper() : QString());
    QPalette buttonPalette = m_menuButton->palette();
    buttonPalette.setColor(QPalette::ButtonText, tint);
    m_menuButton->setPalette(buttonPalette);
    m_menuButton->setFixedWidth(m_methodFilter ? kMenuWidthWithMethod : kMenuWidthWithoutMethod);
    m_textField->setPlaceholderText(textFilterLabel(m_textFilter));
}

void FilterView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void FilterView::selectChip(QuickFilter filter)
{
    m_quickFilter = m_quickFilter == filter ? std::nullopt : std::optional(filter);
    refresh();
    m_filterViewModel.setQuickFilter(m_quickFilter);
}

void FilterView::chooseTextFilter(TextFilter filter)
{
    if (m_textFilter == filter)
        return;
    m_textFilter = filter;
    refresh();
    m_filterViewModel.textFilter = filter;
    m_filterViewModel.applyTextFilter();
}

void FilterView::chooseMethod(std::optional<Method> method)
{
    if (m_methodFilter == method)
        return;
    m_methodFilter = method;
    refresh();
    m_filterViewModel.methodFilter = method;
    m_filterViewModel.applyMethodFilter();
}

void FilterView::applyTextFilter()
{
    m_filterViewModel.filterInput = m_filter;
    m_filterViewModel.applyTextFilter();
}
