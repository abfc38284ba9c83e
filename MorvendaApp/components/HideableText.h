// A plain text that takes no room at all while there is nothing to show (no text, or an empty
// one). Main thread only.
#pragma once

#include <QLabel>

#include <optional>

class HideableText : public QLabel
{
    Q_OBJECT

public:
    explicit HideableText(const std::optional<QString> &text = std::nullopt, QWidget *parent = nullptr);

    void setText(const std::optional<QString> &text);
};
