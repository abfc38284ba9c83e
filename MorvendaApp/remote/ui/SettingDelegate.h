// Paints the settings panel's rows and handles their buttons: name, engineer and key, then the
// boolean state buttons or the text field with its send button and invalid-number note. The
// field opens a line editor over the painted one; what is typed goes to the view model at each
// keystroke. While no app is active every control of a row is disabled. Main thread only.
#pragma once

#include "MorvendaModel/Setting.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QStyledItemDelegate>

class QAbstractItemView;
class SettingsListViewModel;
struct SettingRow;

class SettingDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // Where each part of a row lies, for painting, hit tests and the editor.
    struct Geometry
    {
        QRect name, copy, engineer, key;
        QRect field, send, invalid;
        QRect dot, onOff, tag;
        QRect chips[3];
        int height = 0;
    };

    // `view` shows the rows; its viewport's clicks reach the row's buttons even while a field
    // editor is open in that row.
    SettingDelegate(SettingsListViewModel &viewModel, QAbstractItemView *view);

    // Stops reading the viewport's clicks. The owner calls it before the view is destroyed:
    // a view half destroyed must not be asked for its rows.
    void detach();

    Geometry geometry(const QStyleOptionViewItem &option, const Setting &setting, const SettingRow &row) const;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The controls of a row that act on a click.
    enum class Part { None, Copy, Field, Send, Server, On, Off };

    const Setting &settingAt(const QModelIndex &index) const;
    // The control of the row of `index` at `at` (viewport coordinates), with the row's setting.
    Part partAt(const QModelIndex &index, QPoint at) const;
    bool viewportEvent(QEvent *event);
    // Acts on a click on `part` of `setting`'s row.
    void click(const Setting &setting, Part part, const QModelIndex &index, QPoint global);

    SettingsListViewModel &m_viewModel;
    QAbstractItemView *m_view;
    // Compared by address only: while the view is being destroyed its viewport still sends
    // events (a hide), and the view may no longer be asked anything.
    QPointer<QWidget> m_viewport;
    // What the left button went down on: a release acts only on that same control.
    QString m_pressedKey;
    Part m_pressedPart = Part::None;
    mutable QPointer<QWidget> m_editor;
    mutable QPersistentModelIndex m_editorIndex;
};
