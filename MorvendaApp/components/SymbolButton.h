// A tool button whose icon is a symbol drawn in a named colour (or the text colour), redrawn
// when the palette or the screen's pixel ratio changes. The base of every symbol button here.
#pragma once

#include "NamedColors.h"

#include <QToolButton>

#include <optional>

class SymbolButton : public QToolButton
{
    Q_OBJECT

public:
    explicit SymbolButton(const QString &symbol, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    // No tint means the palette's text colour.
    std::optional<NamedColor> tint() const { return m_tint; }
    qreal tintOpacity() const { return m_opacity; }

    void setSymbol(const QString &symbol);
    void setTint(std::optional<NamedColor> tint, qreal opacity = 1.0);
    // The symbol's side in logical pixels.
    void setSymbolSize(int size);

    // The colour the symbol is drawn in right now.
    QColor symbolColor() const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshIcon();

    QString m_symbol;
    std::optional<NamedColor> m_tint;
    qreal m_opacity = 1.0;
    int m_size = 16;
};
