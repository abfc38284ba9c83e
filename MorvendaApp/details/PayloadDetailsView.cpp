#include "PayloadDetailsView.h"

#include "PayloadBodyView.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/SegmentedPicker.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>


namespace {

constexpr int kTitlePixelSize = 15;   // title 3
constexpr int kLabelPixelSize = 12;   // callout
constexpr int kTabSpacing = 8;

} // namespace

QString PayloadDetailsView::rawValue(DetailType type)
{
    switch (type) {
    case DetailType::Info:
        return QStringLiteral("info");
    case DetailType::Headers:
        return QStringLiteral("headers");
    case DetailType::Query:
        return QStringLiteral("query");
    case DetailType::Cookies:
        return QStringLiteral("cookies");
    case DetailType::Body:
        break;
    }
    return QStringLiteral("body");
}

QString PayloadDetailsView::tabLabel(DetailType type)
{
    QString label = rawValue(type);
    label[0] = label[0].toUpper();
    return label;
}

PayloadDetailsView::PayloadDetailsView(std::shared_ptr<const DetailsViewable> details, DetailType selected,
    PayloadInfoView::UrlOpener openUrl, QWidget *parent)
    : QWidget(parent)
    , m_details(std::move(details))
    , m_selected(selected)
    , m_openUrl(std::move(openUrl))
{
    Q_ASSERT(m_details);
    buildLayout();
    setDetails(m_details);
}

void PayloadDetailsView::buildLayout()
{
    m_title = new QLabel(this);
    m_title->setTextFormat(Qt::PlainText);
    QFont font = m_title->font();
    font.setPixelSize(kTitlePixelSize);
    font.setBold(true);
    m_title->setFont(font);
    m_strip = new SegmentedPicker(kTabSpacing, this);

    auto *headingRow = new QWidget;
    auto *heading = new QHBoxLayout(headingRow);
    heading->setContentsMargins(16, 8, 16, 0);
    heading->addWidget(m_title);
    heading->addWidget(m_strip);
    heading->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollingSideways(headingRow));
}

QScrollArea *PayloadDetailsView::scrollingSideways(QWidget *row)
{
    // The title and every tab need more width than the details column has on the smallest
    // screens: the row scrolls sideways there rather than hold the whole window wider than the
    // screen. It is exactly as tall as the row, plus the scroll bar while that is shown.
    auto *area = new QScrollArea(this);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    area->setWidget(row);
    const auto fitHeight = [area, row] {
        const QScrollBar *bar = area->horizontalScrollBar();
        area->setFixedHeight(row->sizeHint().height() + (bar->maximum() > 0 ? bar->sizeHint().height() : 0));
    };
    connect(area->horizontalScrollBar(), &QScrollBar::rangeChanged, area, fitHeight);
    fitHeight();
    return area;
}

void PayloadDetailsView::setDetails(std::shared_ptr<const DetailsViewable> details)
{
    if (!details)
        return;
    m_details = std::move(details);
    m_title->setText(m_details->title());
    const QList<DetailType> offered = availableDetailTypes();
    if (offered != m_offered || m_strip->itemCount() == 0) {
        m_offered = offered;
        refreshStrip();
    }
    refreshPane();
}

void PayloadDetailsView::setSelectedDetailType(DetailType type)
{
    if (type == m_selected)
        return;
    m_selected = type;
    refreshStrip();
    refreshPane();
}

QList<PayloadDetailsView::DetailType> PayloadDetailsView::availableDetailTypes() const
{
    QList<DetailType> offered = {DetailType::Info};
    const NetworkDetailsViewable *network = m_details->networkDetails();
    if (!network)
        return offered;
    if (!network->headers().isEmpty())
        offered.append(DetailType::Headers);
    if (!network->query().isEmpty())
        offered.append(DetailType::Query);
    if (!network->cookies().isEmpty())
        offered.append(DetailType::Cookies);
    offered.append(DetailType::Body);
    return offered;
}

void PayloadDetailsView::refreshStrip()
{
    m_strip->setData(m_offered, [this](DetailType type) { return makeTabLabel(type); },
        [this](DetailType type) { setSelectedDetailType(type); });
    // Shown now rather than on the next event-loop turn, so a grab or a click right after sees them.
    for (int i = 0; i < m_strip->itemCount(); ++i)
        m_strip->itemWidget(i)->show();
    m_strip->setVisible(m_offered.size() >= 2);
}

QWidget *PayloadDetailsView::makeTabLabel(DetailType type) const
{
    const bool selected = type == m_selected;
    auto *label = new QLabel(tabLabel(type));
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(kLabelPixelSize);
    label->setFont(font);
    const QColor text = selected ? QColor(Qt::white) : namedColor(NamedColor::Primary, palette());
    const QColor background = selected ? namedColor(NamedColor::Blue, palette()) : QColor(Qt::transparent);
    label->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 6px; padding: 2px 6px; }")
            .arg(text.name(QColor::HexArgb), background.name(QColor::HexArgb)));
    label->setProperty("selected", selected);
    return label;
}

QList<DetailInfoProperty> PayloadDetailsView::tableRows(DetailType type) const
{
    const NetworkDetailsViewable *network = m_details->networkDetails();
    if (!network)
        return m_details->info();
    switch (type) {
    case DetailType::Info:
    case DetailType::Body:
        break;
    case DetailType::Headers:
        return network->headers();
    case DetailType::Query:
        return network->query();
    case DetailType::Cookies:
        return network->cookies();
    }
    return m_details->info();
}

void PayloadDetailsView::refreshPane()
{
    const NetworkDetailsViewable *network = m_details->networkDetails();
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    if (network && m_selected == DetailType::Body) {
        const QString body = network->body().value_or(QString());
        delete m_infoPane;
        if (m_bodyPane) {
            m_bodyPane->setJson(body);
        } else {
            m_bodyPane = new PayloadBodyView(body, this);
            layout->addWidget(m_bodyPane, 1);
            m_bodyPane->show();
        }
        return;
    }
    // Leaving the Body tab ends the body pane and its viewer model.
    delete m_bodyPane;
    if (m_infoPane) {
        m_infoPane->setProperties(tableRows(m_selected));
    } else {
        m_infoPane = new PayloadInfoView(tableRows(m_selected), m_openUrl, this);
        layout->addWidget(m_infoPane, 1);
        m_infoPane->show();
    }
}

void PayloadDetailsView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && m_strip)
        refreshStrip();
    QWidget::changeEvent(event);
}
