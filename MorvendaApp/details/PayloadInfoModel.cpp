#include "PayloadInfoModel.h"

#include "MorvendaApp/core/L10n.h"



namespace {

QString bounded(const QString &text)
{
    if (text.size() <= PayloadInfoModel::kDisplayLimit)
        return text;
    return text.left(PayloadInfoModel::kDisplayLimit) + QChar(0x2026);
}

// Tooltips are rich text when they look like markup, so text from apps is escaped and wrapped.
QString plainTooltip(const QString &text)
{
    return QStringLiteral("<p style='white-space:pre-wrap'>") + bounded(text).toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace

PayloadInfoModel::PayloadInfoModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void PayloadInfoModel::setProperties(QList<DetailInfoProperty> properties)
{
    beginResetModel();
    m_properties = std::move(properties);
    endResetModel();
}

void PayloadInfoModel::setLinkColor(const QColor &color)
{
    m_linkColor = color;
    if (!m_properties.isEmpty())
        emit dataChanged(index(0, ValueColumn), index(rowCount() - 1, ValueColumn), {Qt::ForegroundRole});
}

std::optional<Url> PayloadInfoModel::urlAt(int row) const
{
    if (row < 0 || row >= m_properties.size())
        return std::nullopt;
    if (const auto *url = std::get_if<Url>(&m_properties.at(row).value))
        return *url;
    return std::nullopt;
}

int PayloadInfoModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_properties.size());
}

int PayloadInfoModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PayloadInfoModel::displayText(const DetailInfoProperty &property, int column) const
{
    if (column == KeyColumn)
        return property.name;
    if (const auto *date = std::get_if<DetailDate>(&property.value))
        return DetailText::localText(date->seconds);
    return DetailText::valueText(property.value);
}

QVariant PayloadInfoModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const DetailInfoProperty &property = m_properties.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return bounded(displayText(property, index.column()));
    case Qt::ToolTipRole:
        return index.column() == ValueColumn ? plainTooltip(displayText(property, index.column())) : QVariant();
    case CopyTextRole:
        return index.column() == KeyColumn ? property.name : DetailText::valueText(property.value);
    case UrlRole:
        if (const auto *url = std::get_if<Url>(&property.value); url && index.column() == ValueColumn)
            return url->qurl();
        return {};
    case Qt::ForegroundRole:
        if (index.column() == ValueColumn && std::holds_alternative<Url>(property.value) && m_linkColor.isValid())
            return m_linkColor;
        return {};
    default:
        return {};
    }
}

QVariant PayloadInfoModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == KeyColumn ? L10n::text("Key") : L10n::text("Value");
}

Qt::ItemFlags PayloadInfoModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}
