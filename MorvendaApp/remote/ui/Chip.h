// The selection chips and toggle-like buttons of the remote panels: a filled rounded rectangle
// (corner radius 4) tinted with the accent colour at half opacity when it stands for the current
// choice and with the secondary colour otherwise, holding an optional symbol, a space and a
// title. Painted by one function so the settings rows, which paint their buttons themselves,
// look like the filter chips. Main thread only.
#pragma once

#include <QAbstractButton>

class QPainter;

namespace Chip {

// The size a chip needs for `symbol` (may be empty) and `title` in `font`.
QSize sizeFor(const QFontMetrics &metrics, const QString &symbol, const QString &title);
void paint(QPainter &painter, const QRect &rect, const QPalette &palette, const QString &symbol,
    const QString &title, bool selected, bool enabled);

} // namespace Chip

class ChipButton : public QAbstractButton
{
    Q_OBJECT

public:
    ChipButton(const QString &symbol, const QString &title, QWidget *parent = nullptr);

    // Shown as the current choice: selected, or checked when the chip is checkable (a segment of
    // a picker).
    bool isSelected() const { return m_selected || isChecked(); }
    void setSelected(bool selected);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbol;
    bool m_selected = false;
};
