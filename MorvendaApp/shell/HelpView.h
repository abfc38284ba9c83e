// The help dialog: every help article, sorted by title, each opening its page in the browser
// when clicked; the row under the pointer is highlighted. One instance per application, shown by
// the Help menu and the toolbar's help button; the dialog stays open after an article is opened.
// Main thread.
#pragma once

#include "MorvendaApp/core/Help.h"

#include <QDialog>
#include <QList>
#include <QUrl>

#include <functional>

class QListWidget;
class QListWidgetItem;

class HelpView : public QDialog
{
    Q_OBJECT

public:
    // Opens a page; QDesktopServices::openUrl when empty. Tests pass their own.
    using OpenUrl = std::function<void(const QUrl &)>;

    // The least size the dialog asks for where the screen has room for it, in logical pixels.
    static constexpr QSize kMinimumSize{600, 600};

    explicit HelpView(OpenUrl openUrl = {}, QWidget *parent = nullptr);

    // Lowers the least size to `room` (the screen's area less the frame) where the screen is
    // smaller than it; the list scrolls instead.
    void fitInto(QSize room);

    // All articles sorted by title with plain character-code comparison.
    static QList<Help> helpPages();

    QListWidget *list() const { return m_list; }
    // The list row of an article, for tests.
    QListWidgetItem *itemFor(Help article) const;
    void openArticle(Help article);

private:
    void buildLayout();
    void refreshIcons();

    OpenUrl m_openUrl;
    QListWidget *m_list = nullptr;
    QListWidgetItem *m_header = nullptr; // the title row, with its own symbol

protected:
    void changeEvent(QEvent *event) override;
};
