// A symbol button in the filled style of selection chips and toggle-like buttons: filled with the
// accent colour at half opacity while it stands for the current choice, with the secondary colour
// otherwise, corners rounded to 4 pixels. Its owner says which state it is in. Main thread only.
#pragma once

#include "SymbolButton.h"

class SelectionChipButton : public SymbolButton
{
    Q_OBJECT

public:
    explicit SelectionChipButton(const QString &symbol, QWidget *parent = nullptr);

    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);
    // The fill as drawn right now (its alpha included).
    QColor fillColor() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_current = false;
};
