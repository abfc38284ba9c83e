// Copies a text its owner computes at the click to the clipboard, and confirms it with a short
// text that fades out a second later. Main thread only.
#pragma once

#include <QWidget>

#include <functional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;
class SymbolButton;

class CopyButton : public QWidget
{
    Q_OBJECT

public:
    // How long the confirmation stays before it fades, in milliseconds.
    static constexpr int kConfirmationMs = 1000;

    explicit CopyButton(std::function<QString()> contentToCopy, QWidget *parent = nullptr);

    void copy();
    // Shows the confirmation after the symbol instead of before it: for a button whose left edge
    // is fixed (followed by free room), so the symbol stays put while the confirmation shows.
    void placeConfirmationAfterSymbol();

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    void applyColors();
    void fadeOut();

    std::function<QString()> m_contentToCopy;
    SymbolButton *m_button = nullptr;
    QLabel *m_confirmation = nullptr;
    QGraphicsOpacityEffect *m_opacity = nullptr;
    QPropertyAnimation *m_fade = nullptr;
    QTimer *m_confirmationTimer = nullptr;
};
