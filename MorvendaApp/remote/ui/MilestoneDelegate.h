// Paints one milestone: its key (at most two lines), its count line and, when known, its
// creation and update dates in the callout font and the secondary colour. A row's height is
// worked out without formatting its dates or laying its key out (a list may hold 100,000 rows,
// all measured at each layout). Main thread only.
#pragma once

#include <QFont>
#include <QHash>
#include <QStyledItemDelegate>

#include <array>
#include <optional>

class MilestoneDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The margin around a row's texts, in pixels.
    static constexpr int kPadding = 11;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    // The row's fonts and their measures, made again when the view's font changes.
    struct Measures
    {
        QFont base;
        QFont body;
        QFont callout;
        int bodyLine = 0;
        int calloutLine = 0;
        // Advances of the printable ASCII characters in the body font, and the kerning of each
        // pair (filled a first character's row at a time, when first needed).
        std::array<qreal, 95> advances{};
        std::array<std::array<qreal, 95>, 95> kerning{};
        std::array<bool, 95> kerned{};
        // Advances of the other characters seen so far whose width shaping barely changes.
        QHash<char16_t, qreal> otherAdvances;
        // Shaped widths of the keys measured so far: an app reports the same keys again and again.
        QHash<QString, qreal> widths;
    };

    Measures &measures(const QFont &base) const;
    // One or two: the lines the key takes at `width`.
    int keyLines(Measures &m, const QString &key, int width) const;
    qreal kerning(Measures &m, int first, int second) const;
    // Summed advances of a key outside plain ASCII, or nothing when shaping may change its width.
    std::optional<qreal> otherEstimate(Measures &m, const QString &key) const;
    int height(const Measures &m, int keyLines, int dates) const;

    mutable Measures m_measures;
    mutable bool m_measured = false;
};
