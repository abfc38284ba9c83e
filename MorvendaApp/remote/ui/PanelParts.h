// Small pieces the remote panels share: the filter row (funnel symbol and a rounded text field),
// the panel fonts, and the list look (plain, no frame). Main thread only.
#pragma once

#include "MorvendaApp/components/PanelTopStrip.h"

#include <QStackedWidget>
#include <QString>

class QAbstractItemModel;
class QFont;
class QLabel;
class QLineEdit;
class QListView;
class QWidget;

// A panel's list of variable-height rows drawn by its delegate, with a text in its place while
// it has no rows. Panels put a PanelTopStrip above it.
class PanelList : public QStackedWidget
{
    Q_OBJECT

public:
    explicit PanelList(QWidget *parent = nullptr);

    QListView *list() const { return m_list; }
    QLabel *emptyLabel() const { return m_empty; }
    void showEmpty(bool empty);
    // A row's height follows its content: after rows of `model` (the list's) changed, the list
    // measures its rows again, once per event-loop turn however many of them changed.
    void remeasureRowsOnChange(QAbstractItemModel *model);

private:
    QListView *m_list;
    QLabel *m_empty;
    bool m_remeasurePending = false;
};

namespace PanelParts {

// A symbol that only decorates (no clicks), redrawn in the text colour when the palette changes.
QWidget *decoration(const QString &symbolName, QWidget *parent);
// A row of the funnel symbol and `field`, whose placeholder becomes `label`.
QWidget *filterRow(QLineEdit *field, const QString &label);
// `text` for a one-line place: each line break (CR LF, LF, CR, VT, FF, NEL, U+2028, U+2029)
// becomes the visible symbol ↵. The text itself is returned when it holds none.
QString oneLine(const QString &text);
// `base` at `pixelSize`, bold or monospaced on request.
QFont font(const QFont &base, int pixelSize, bool bold = false, bool monospaced = false);

// Text sizes (logical pixels).
inline constexpr int kBody = 13;
inline constexpr int kCallout = 12;
inline constexpr int kSubheadline = 11;
inline constexpr int kCaption = 10;
inline constexpr int kCaption2 = 9;

} // namespace PanelParts
