// Opens a help article's page in the browser, or shows the help view when there is no article
// (or its page has no usable address). The caller decides how pages open and how the help view
// is shown. Main thread only.
#pragma once

#include "SymbolButton.h"

#include "MorvendaApp/core/Help.h"

#include <QUrl>

#include <functional>
#include <optional>

class HelpButton : public SymbolButton
{
    Q_OBJECT

public:
    struct Presenter
    {
        // Opens a page in the default browser; QDesktopServices::openUrl when empty.
        std::function<void(const QUrl &)> openUrl;
        // Shows the help view (the list of every article) over the caller's window.
        std::function<void()> showHelp;
    };

    HelpButton(std::optional<Help> article, Presenter presenter, QWidget *parent = nullptr);

    void trigger();

private:
    std::optional<Help> m_article;
    Presenter m_presenter;
};
