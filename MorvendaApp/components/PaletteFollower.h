// Keeps what a widget derived from its palette (a named colour, a tinted symbol, a style sheet) in
// step with that palette: the derivation runs once now and again after every palette change of
// the widget, a switch of colour scheme included, and after every change of its parent. Owned by
// the widget it follows; main thread.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

class PaletteFollower : public QObject
{
    Q_OBJECT

public:
    // Runs `apply` now and after each palette or parent change of `widget`, for its life. `apply`
    // may set the widget's own palette: that change does not run it again.
    static void follow(QWidget *widget, std::function<void()> apply);

    // Draws `widget`'s text (its WindowText) in the secondary colour of the surrounding palette.
    static void followSecondaryText(QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PaletteFollower(QWidget *widget, std::function<void()> apply);

    // The palette a widget's own colours derive from: its parent's (the application's for a
    // window), so a colour the widget set on itself never feeds the next derivation.
    static QPalette surrounding(const QWidget *widget);

    std::function<void()> m_apply;
    bool m_applying = false;
};
