// A two-column table of keys and values for the Info, Headers, Query and Cookies tabs. A click
// on a URL value opens that URL's API-explorer page (never the URL itself); context menus copy
// a row's key or value, or the whole table as CSV, to the clipboard. Main thread only.
#pragma once

#include "DetailInfoProperty.h"

#include <QUrl>
#include <QWidget>

#include <functional>

class PayloadInfoModel;
class QMenu;
class QTableView;

class PayloadInfoView : public QWidget
{
    Q_OBJECT

public:
    // Opens a page in the default browser; QDesktopServices::openUrl when empty.
    using UrlOpener = std::function<void(const QUrl &)>;

    explicit PayloadInfoView(QList<DetailInfoProperty> properties, UrlOpener openUrl = {}, QWidget *parent = nullptr);

    void setProperties(QList<DetailInfoProperty> properties);
    const QList<DetailInfoProperty> &properties() const;

    void copyAsCSV() const;
    void openInApiExplorer(const Url &url) const;
    // Makes the text the clipboard's only content.
    static void copyToPasteboard(const QString &text);

    // The menu a right click at `position` (viewport coordinates) shows: the row's "Copy key" and
    // "Copy value" on a row, "Copy as CSV" elsewhere. The caller owns it.
    QMenu *makeContextMenu(const QPoint &position);

    QTableView *table() const { return m_table; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    QMenu *makeTableMenu();
    void keepKeyWidthInBounds(int logicalIndex, int newSize);

    PayloadInfoModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    UrlOpener m_openUrl;
};
