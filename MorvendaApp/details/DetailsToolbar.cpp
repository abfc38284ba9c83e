#include "DetailsToolbar.h"

#include "EntryDetailsViewModel.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SymbolButton.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>


namespace {

constexpr int kItemSpacing = 4;
constexpr int kToggleTrailingPadding = 16;
constexpr int kFilterMaxWidth = 200;
constexpr int kClockSize = 14;

} // namespace

DetailsToolbar::DetailsToolbar(EntryDetailsViewModel &viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    buildLayout();
    connectSignals();
    refresh();
}

void DetailsToolbar::buildLayout()
{
    m_splitToggle = new SymbolButton(DetailsFilterOptions::symbolName(m_viewModel.alignment()), this);
    m_splitToggle->setAutoRaise(true);

    auto *filterBox = new QWidget(this);
    filterBox->setMaximumWidth(kFilterMaxWidth);
    auto *filterRow = new QHBoxLayout(filterBox);
    filterRow->setContentsMargins(0, 0, 0, 0);
    filterRow->setSpacing(0);
    m_segments = new QButtonGroup(this);
    m_segments->setExclusive(true);
    for (const Filter filter : DetailsFilterOptions::kAllFilters) {
        auto *segment = new SymbolButton(DetailsFilterOptions::symbolName(filter), filterBox);
        segment->setCheckable(true);
        segment->setToolTip(DetailsFilterOptions::helpText(filter).toHtmlEscaped());
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        m_segments->addButton(segment, int(filter));
        filterRow->addWidget(segment);
    }

    m_responsePicker = new QWidget(this);
    auto *pickerRow = new QHBoxLayout(m_responsePicker);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    auto *pickerTitle = new QLabel(L10n::text("Response"), m_responsePicker);
    m_responseMenu = new QComboBox(m_responsePicker);
    // Wide enough for any response number, without measuring every entry: fitted to its
    // contents, the menu measured thousands of entries again for each response that joined.
    m_responseMenu->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_responseMenu->setMinimumContentsLength(5);
    pickerRow->addWidget(pickerTitle);
    pickerRow->addWidget(m_responseMenu);

    m_duration = new QWidget(this);
    auto *durationRow = new QHBoxLayout(m_duration);
    durationRow->setContentsMargins(0, 0, 0, 0);
    m_durationIcon = new QLabel(m_duration);
    m_durationText = new QLabel(m_duration);
    m_durationText->setTextFormat(Qt::PlainText);
    durationRow->addWidget(m_durationIcon);
    durationRow->addWidget(m_durationText);

    auto *row = new QHBoxLayout(this);
    const int side = style()->pixelMetric(QStyle::PM_LayoutLeftMargin);
    row->setContentsMargins(side, 4, side, 12);
    row->setSpacing(kItemSpacing);
    row->addWidget(m_splitToggle, 0, Qt::AlignVCenter);
    row->addSpacing(kToggleTrailingPadding);
    row->addWidget(filterBox, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_responsePicker, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addWidget(m_duration, 0, Qt::AlignVCenter);
}

void DetailsToolbar::connectSignals()
{
    connect(m_splitToggle, &QToolButton::clicked, this, [this] { m_viewModel.toggleAlignment(); });
    connect(m_segments, &QButtonGroup::idClicked, this, [this](int id) { m_viewModel.setFilter(Filter(id)); });
    connect(m_responseMenu, &QComboBox::activated, this, [this](int index) { m_viewModel.setResponseSelection(index); });
    connect(&m_viewModel, &EntryDetailsViewModel::alignmentChanged, this, &DetailsToolbar::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::filterChanged, this, &DetailsToolbar::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::responseSelectionChanged, this, &DetailsToolbar::refresh);
    connect(&m_viewModel, &EntryDetailsViewModel::exchangeChanged, this, &DetailsToolbar::refresh);
}

void DetailsToolbar::changeEvent(QEvent *event)
{
    // The clock is a pixmap in the text colour of the palette it was drawn with.
    if (event->type() == QEvent::PaletteChange && m_duration)
        refresh();
    QWidget::changeEvent(event);
}

SymbolButton *DetailsToolbar::filterSegment(Filter filter) const
{
    return static_cast<SymbolButton *>(m_segments->button(int(filter)));
}

void DetailsToolbar::refresh()
{
    m_splitToggle->setSymbol(DetailsFilterOptions::symbolName(m_viewModel.alignment()));
    m_segments->button(int(m_viewModel.filter()))->setChecked(true);
    for (const Filter filter : DetailsFilterOptions::kAllFilters) {
        SymbolButton *segment = filterSegment(filter);
        segment->setTint(segment->isChecked() ? std::optional(NamedColor::Accent) : std::nullopt);
    }

    const int count = m_viewModel.responseCount();
    m_responsePicker->setVisible(m_viewModel.exchange() && m_viewModel.showsResponsePicker());
    {
        // Entries are only appended or dropped at the end: responses join an exchange one at a
        // time, and refilling the whole menu for each made a burst cost its square.
        QSignalBlocker blocker(m_responseMenu);
        if (m_responseMenu->count() > count)
            m_responseMenu->model()->removeRows(count, m_responseMenu->count() - count);
        for (int i = m_responseMenu->count(); i < count; ++i)
            m_responseMenu->addItem(QString::number(i), i);
    }
    {
        const int selection = m_viewModel.responseSelection();
        QSignalBlocker blocker(m_responseMenu);
        m_responseMenu->setCurrentIndex(selection >= 0 && selection < count ? selection : -1);
    }

    const std::optional<QString> duration = m_viewModel.durationText();
    m_duration->setVisible(duration.has_value());
    if (duration) {
        const QColor color = namedColor(NamedColor::Primary, palette());
        m_durationIcon->setPixmap(Symbols::pixmap(QStringLiteral("clock.fill"), color, kClockSize, devicePixelRatioF()));
        m_durationText->setText(*duration);
    }
}
