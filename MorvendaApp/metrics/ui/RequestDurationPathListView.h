// The path column's list: rows joining or leaving above what the user looks at never move the
// rows in view, so a scrolled list stays put and the row under the pointer stays under it while
// paths arrive. Main thread only; owned by the request-duration frame.
#pragma once

#include <QListView>
#include <QPersistentModelIndex>

#include <optional>

class RequestDurationPathListView : public QListView
{
    Q_OBJECT

public:
    explicit RequestDurationPathListView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void doItemsLayout() override;

private:
    // The row at the top of the view and where it stood, kept across a change of the rows.
    struct Anchor
    {
        QPersistentModelIndex index;
        QString text;
        int top = 0;
    };
    void holdAnchor();
    void restoreAnchor();

    std::optional<Anchor> m_anchor;
};
