// Small pieces the remote panels share: the filter row (funnel symbol and a rounded text field),
// the panel fonts, and the list look (plain, no frame, room at the top for the pop-out button).
// Main thread only.
#pragma once

#include <QString>

class QFont;
class QLineEdit;
class QListView;
class QWidget;

namespace PanelParts {

// A symbol that only decorates (no clicks), redrawn in the text colour when the palette changes.
QWidget *decoration(const QString &symbolName, QWidget *parent);
// A row of the funnel symbol and `field`, whose placeholder becomes `label`.
QWidget *filterRow(QLineEdit *field, const QString &label);
// `base` at `pixelSize`, bold or monospaced on request.
QFont font(const QFont &base, int pixelSize, bool bold = false, bool monospaced = false);
// A list of variable-height rows drawn by its delegate; panels leave kTopInset above it.
void styleList(QListView *list);

// Text sizes (logical pixels).
inline constexpr int kBody = 13;
inline constexpr int kCallout = 12;
inline constexpr int kSubheadline = 11;
inline constexpr int kCaption = 10;
inline constexpr int kCaption2 = 9;
inline constexpr int kTopInset = 20;

} // namespace PanelParts
