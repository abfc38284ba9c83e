// A menu row drawn in its own colour (a symbol, a blank and the text), which QMenu cannot do
// for plain actions. Clicking the row triggers the action and closes the menu. Main thread.
#pragma once

#include <QColor>
#include <QWidgetAction>

#include <functional>

class ColoredMenuAction : public QWidgetAction
{
    Q_OBJECT

public:
    // `color` is asked at every paint, so the row follows a palette change. The text is shown as
    // plain text, never as a mnemonic or markup.
    ColoredMenuAction(const QString &symbol, const QString &text, std::function<QColor(const QPalette &)> color,
                      QObject *parent = nullptr);

    QString symbol() const { return m_symbol; }
    // A faint word after the text (a connection that has closed), plain text; none when empty.
    QString note() const { return m_note; }
    void setNote(const QString &note) { m_note = note; }
    QColor color(const QPalette &palette) const { return m_color(palette); }

protected:
    QWidget *createWidget(QWidget *parent) override;

private:
    QString m_symbol;
    QString m_note;
    std::function<QColor(const QPalette &)> m_color;
};
