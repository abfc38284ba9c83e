// A text an app sent, as the user panel's header shows it: centred, wrapped onto at most a few
// lines and cut with "…" at the end of the last, line breaks as spaces; no room at all while there
// is no text. Only a bounded prefix is laid out, so a name of megabytes costs what a long line
// costs, and the label never asks for more width than it is given. Main thread.
#pragma once

#include <QHash>
#include <QStringList>
#include <QWidget>

#include <optional>

class PeerTextLabel : public QWidget
{
    Q_OBJECT

public:
    PeerTextLabel(int maxLines, QWidget *parent = nullptr);

    void setText(const std::optional<QString> &text);
    // The whole text as it was given.
    const QString &text() const { return m_text; }
    // The lines shown at `width`, the last one elided when the text goes on.
    QStringList lines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void forgetLines();

    int m_maxLines;
    QString m_text;
    QString m_shown;
    // The lines per width asked for since the text changed: a layout pass asks for several.
    mutable QHash<int, QStringList> m_lines;
};
