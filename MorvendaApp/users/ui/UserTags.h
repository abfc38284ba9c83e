// A user's tags as coloured chips that wrap onto further rows, in list order (a tag listed twice
// shows twice). The widget serves panels; the static functions let list delegates draw the same
// chips without a widget per row. Main thread.
#pragma once

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaModel/UserTag.h"

#include <QList>
#include <QWidget>

class FlowStack;
class QPainter;

class UserTags : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPadding = 4;
    static constexpr int kSpacing = 4;

    explicit UserTags(const QList<UserTag> &tags = {}, QWidget *parent = nullptr);

    void setTags(const QList<UserTag> &tags);
    const QList<UserTag> &tags() const { return m_tags; }

    static NamedColor color(UserTag tag);
    // One chip's size in `font`: the raw value with the padding on every side.
    static QSize chipSize(const QFontMetrics &metrics, UserTag tag);
    // The height the chips take when wrapped in `width`; 0 for no tags.
    static int heightForWidth(const QList<UserTag> &tags, const QFont &font, int width);
    // The narrowest width in which the chips take one row; 0 for no tags.
    static int oneRowWidth(const QList<UserTag> &tags, const QFont &font);
    // Draws the wrapped chips from `topLeft` within `width`; returns the height taken.
    static int paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
        const QFont &font, const QPalette &palette);

protected:
    void changeEvent(QEvent *event) override;

private:
    void rebuild();

    QList<UserTag> m_tags;
    FlowStack *m_flow;
};
