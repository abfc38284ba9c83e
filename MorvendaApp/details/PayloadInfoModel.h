// The rows of one key/value table of the inspector, for a QTableView: column 0 the key, column 1
// the value (dates in the user's locale, URLs in blue). Display texts and tooltips are bounded so
// a megabyte-long header cannot stall painting; copying uses the full texts. Main thread only.
#pragma once

#include "DetailInfoProperty.h"

#include <QAbstractTableModel>
#include <QColor>

class PayloadInfoModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        // The full plain text that "Copy key" (column 0) or "Copy value" (column 1) copies.
        CopyTextRole = Qt::UserRole + 1,
        // The URL of a URL value, as a QUrl; invalid elsewhere.
        UrlRole,
    };
    enum Column { KeyColumn, ValueColumn, ColumnCount };

    // Longest text a cell or tooltip shows; the rest is cut with an ellipsis.
    static constexpr qsizetype kDisplayLimit = 2000;

    explicit PayloadInfoModel(QObject *parent = nullptr);

    const QList<DetailInfoProperty> &properties() const { return m_properties; }
    void setProperties(QList<DetailInfoProperty> properties);
    // The colour URL values are drawn in; the view follows its palette with it.
    void setLinkColor(const QColor &color);
    // The row's value when it is a URL.
    std::optional<Url> urlAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString displayText(const DetailInfoProperty &property, int column) const;

    QList<DetailInfoProperty> m_properties;
    QColor m_linkColor;
};
