// A user's tags as coloured chips that wrap onto further rows, in list order (a tag listed twice
// shows twice). The widget paints its chips instead of holding a widget per chip, so a user with
// thousands of tags lays out once per change; the static functions let list delegates draw the
// same chips. Main thread.
#pragma once

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaModel/UserTag.h"

#include <QFont>
#include <QList>
#include <QWidget>

#include <algorithm>
#include <array>

class QPainter;

class UserTags : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPadding = 4;
    static constexpr int kSpacing = 4;

    // The chips' sizes in one font, measured once: a list lays out thousands of rows with them.
    class Metrics
    {
    public:
        explicit Metrics(const QFont &font);
        const QFont &font() const { return m_font; }
        int chipHeight() const { return m_chipHeight; }
        int chipWidth(UserTag tag) const { return m_widths.at(size_t(tag)); }
        int narrowestChip() const { return *std::min_element(m_widths.cbegin(), m_widths.cend()); }
        // The width of the chip that counts `more` tags left out.
        int moreChipWidth(qsizetype more) const;

    private:
        QFont m_font;
        int m_chipHeight;
        std::array<int, size_t(UserTag::LoggedOut) + 1> m_widths;
    };

    explicit UserTags(const QList<UserTag> &tags = {}, QWidget *parent = nullptr);

    void setTags(const QList<UserTag> &tags);
    const QList<UserTag> &tags() const { return m_tags; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static NamedColor color(UserTag tag);
    // One chip's size in `font`: the raw value with the padding on every side.
    static QSize chipSize(const QFontMetrics &metrics, UserTag tag);
    // The height the chips take when wrapped in `width`; 0 for no tags. With `more` above 0 a last
    // chip "+<more>" follows them (see firstRows).
    static int heightForWidth(const QList<UserTag> &tags, const QFont &font, int width, qsizetype more = 0);
    static int heightForWidth(const QList<UserTag> &tags, const Metrics &metrics, int width, qsizetype more = 0);
    // The narrowest width in which the chips take one row; 0 for no tags.
    static int oneRowWidth(const QList<UserTag> &tags, const QFont &font);

    // The most chips that `rows` rows of `width` can hold: a place that shows no more rows needs
    // no more of a user's tags.
    static qsizetype capacity(const Metrics &metrics, int width, int rows);
    // What a place of at most `maxRows` rows of `width` shows of a user's `total` tags, of which
    // `tags` holds the first (at least capacity() + 1 of them when there are more): all of them
    // when they fit, else the leading tags that fit together with a last chip counting the rest.
    struct Shown
    {
        QList<UserTag> tags;
        qsizetype more = 0;
    };
    static Shown firstRows(const QList<UserTag> &tags, qsizetype total, const Metrics &metrics, int width, int maxRows);

    // Draws the wrapped chips from `topLeft` within `width`, and the chip "+<more>" after them
    // when `more` is above 0; returns the height taken.
    static int paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
        const QFont &font, const QPalette &palette, qsizetype more = 0);
    static int paint(QPainter *painter, const QPoint &topLeft, int width, const QList<UserTag> &tags,
        const Metrics &metrics, const QPalette &palette, qsizetype more = 0);

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QList<UserTag> m_tags;
    Metrics m_metrics;
};
