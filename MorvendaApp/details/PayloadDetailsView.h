// One payload of the selected exchange (its request or a response): its title, a strip of the
// tabs it offers, and under them the pane of the selected tab (a key/value table or the body
// viewer). The selected tab belongs to this view and survives new payloads; panes are reused
// when the tab stays. Made and owned by EntryDetailsView; main thread only.
#pragma once

#include "PayloadBodyView.h"
#include "PayloadInfoView.h"
#include "PayloadInspection.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QScrollArea;
class SegmentedPicker;

class PayloadDetailsView : public QWidget
{
    Q_OBJECT

public:
    enum class DetailType { Info, Headers, Query, Cookies, Body };

    static QString rawValue(DetailType type);
    // The raw value with its first letter in upper case: "Info", "Headers", …
    static QString tabLabel(DetailType type);

    PayloadDetailsView(std::shared_ptr<const DetailsViewable> details, DetailType selected,
        PayloadInfoView::UrlOpener openUrl = {}, QWidget *parent = nullptr);

    const DetailsViewable &details() const { return *m_details; }
    // Shows another payload; the selected tab stays, even when the payload does not offer it.
    void setDetails(std::shared_ptr<const DetailsViewable> details);

    DetailType selectedDetailType() const { return m_selected; }
    void setSelectedDetailType(DetailType type);

    // Info, then Headers, Query and Cookies when they have rows, then Body, for an HTTP payload;
    // Info alone otherwise.
    QList<DetailType> availableDetailTypes() const;

    // The strip (hidden with fewer than two tabs) and the pane now shown.
    SegmentedPicker *tabStrip() const { return m_strip; }
    PayloadInfoView *infoPane() const { return m_infoPane; }
    PayloadBodyView *bodyPane() const { return m_bodyPane; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    QScrollArea *scrollingSideways(QWidget *row);
    void refreshStrip();
    void refreshPane();
    QWidget *makeTabLabel(DetailType type) const;
    QList<DetailInfoProperty> tableRows(DetailType type) const;

    std::shared_ptr<const DetailsViewable> m_details;
    DetailType m_selected;
    PayloadInfoView::UrlOpener m_openUrl;
    QList<DetailType> m_offered;
    QLabel *m_title = nullptr;
    SegmentedPicker *m_strip = nullptr;
    QPointer<PayloadInfoView> m_infoPane;
    QPointer<PayloadBodyView> m_bodyPane;
};
