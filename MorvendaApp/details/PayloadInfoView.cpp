#include "PayloadInfoView.h"

#include "PayloadInfoModel.h"
#include "PayloadInspection.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/core/L10n.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The key column's width bounds and starting width, in logical pixels.
constexpr int kKeyMinWidth = 80;
constexpr int kKeyIdealWidth = 120;
constexpr int kKeyMaxWidth = 200;

// Menu texts from apps: "&" would otherwise mark a shortcut.
QString menuSafe(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1StringView("&&"));
}

} // namespace

PayloadInfoView::PayloadInfoView(QList<DetailInfoProperty> properties, UrlOpener openUrl, QWidget *parent)
    : QWidget(parent)
    , m_model(new PayloadInfoModel(this))
    , m_openUrl(std::move(openUrl))
{
    m_model->setProperties(std::move(properties));
    buildLayout();
    connectSignals();
}

void PayloadInfoView::buildLayout()
{
    m_table = new QTableView(this);
    m_table->setModel(m_model);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setSortingEnabled(false);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setMouseTracking(true);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView *header = m_table->horizontalHeader();
    header->setMinimumSectionSize(kKeyMinWidth);
    header->setStretchLastSection(true);
    header->setSectionResizeMode(PayloadInfoModel::KeyColumn, QHeaderView::Interactive);
    header->resizeSection(PayloadInfoModel::KeyColumn, kKeyIdealWidth);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);
    m_model->setLinkColor(namedColor(NamedColor::Blue, palette()));
}

void PayloadInfoView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        m_model->setLinkColor(namedColor(NamedColor::Blue, palette()));
    QWidget::changeEvent(event);
}

void PayloadInfoView::connectSignals()
{
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() != PayloadInfoModel::ValueColumn)
            return;
        if (const std::optional<Url> url = m_model->urlAt(index.row()))
            openInApiExplorer(*url);
    });
    connect(m_table, &QTableView::entered, this, [this](const QModelIndex &index) {
        const bool link = index.column() == PayloadInfoModel::ValueColumn && m_model->urlAt(index.row());
        m_table->viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    });
    connect(m_table, &QTableView::viewportEntered, this, [this] { m_table->viewport()->setCursor(Qt::ArrowCursor); });
    connect(m_table, &QTableView::customContextMenuRequested, this, [this](const QPoint &position) {
        QMenu *menu = makeContextMenu(position);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(m_table->viewport()->mapToGlobal(position));
    });
    QHeaderView *header = m_table->horizontalHeader();
    connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](const QPoint &position) {
        QMenu *menu = makeTableMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(header->mapToGlobal(position));
    });
    connect(header, &QHeaderView::sectionResized, this, [this](int logicalIndex, int, int newSize) {
        keepKeyWidthInBounds(logicalIndex, newSize);
    });
}

void PayloadInfoView::keepKeyWidthInBounds(int logicalIndex, int newSize)
{
    if (logicalIndex != PayloadInfoModel::KeyColumn || newSize <= kKeyMaxWidth)
        return;
    m_table->horizontalHeader()->resizeSection(logicalIndex, kKeyMaxWidth);
}

void PayloadInfoView::setProperties(QList<DetailInfoProperty> properties)
{
    m_model->setProperties(std::move(properties));
}

const QList<DetailInfoProperty> &PayloadInfoView::properties() const
{
    return m_model->properties();
}

void PayloadInfoView::copyAsCSV() const
{
    copyToPasteboard(DetailText::csvText(m_model->properties()));
}

void PayloadInfoView::openInApiExplorer(const Url &url) const
{
    const std::optional<QUrl> link = PayloadInspection::apiExplorerURL(url);
    if (!link)
        return;
    if (m_openUrl)
        m_openUrl(*link);
    else
        QDesktopServices::openUrl(*link);
}

void PayloadInfoView::copyToPasteboard(const QString &text)
{
    // setText replaces every format the clipboard held, so nothing older stays beside the text.
    QGuiApplication::clipboard()->setText(text);
}

QMenu *PayloadInfoView::makeContextMenu(const QPoint &position)
{
    const QModelIndex index = m_table->indexAt(position);
    if (!index.isValid())
        return makeTableMenu();
    const QString key = m_model->index(index.row(), PayloadInfoModel::KeyColumn).data(PayloadInfoModel::CopyTextRole).toString();
    const QString value = m_model->index(index.row(), PayloadInfoModel::ValueColumn).data(PayloadInfoModel::CopyTextRole).toString();
    auto *menu = new QMenu(this);
    menu->addAction(menuSafe(L10n::text("PropertyMenu.copyKey")), this, [key] { copyToPasteboard(key); });
    menu->addAction(menuSafe(L10n::text("PropertyMenu.copyValue")), this, [value] { copyToPasteboard(value); });
    return menu;
}

QMenu *PayloadInfoView::makeTableMenu()
{
    auto *menu = new QMenu(this);
    menu->addAction(menuSafe(L10n::text("Copy as CSV")), this, [this] { copyAsCSV(); });
    return menu;
}
