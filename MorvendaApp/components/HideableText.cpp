#include "HideableText.h"

HideableText::HideableText(const std::optional<QString> &text, QWidget *parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setText(text);
}

void HideableText::setText(const std::optional<QString> &text)
{
    const bool shown = text && !text->isEmpty();
    QLabel::setText(shown ? *text : QString());
    if (parentWidget() || !shown) {
        setVisible(shown);
    } else {
        // Without a parent, showing would open a window: let the future parent's layout show it.
        setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    }
}
