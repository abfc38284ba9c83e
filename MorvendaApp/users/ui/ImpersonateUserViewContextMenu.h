// The context menu of a stored user's row: impersonate, open the admin page, mark or unmark as
// favourite, copy the token, name, e-mail, brand and retailer tokens, delete. Built anew with the
// record's values each time it opens. Main thread.
#pragma once

#include "UrlOpener.h"

#include "MorvendaApp/users/ImpersonateUserData.h"

#include <QMenu>

class ImpersonateListViewModel;

class ImpersonateUserViewContextMenu : public QMenu
{
    Q_OBJECT

public:
    ImpersonateUserViewContextMenu(const ImpersonateUserData &user, ImpersonateListViewModel &viewModel, OpenUrl openUrl,
        QWidget *parent = nullptr);

    // The entry with that label, for tests; null when the menu has none.
    QAction *action(const QString &text) const;

private:
    QAction *add(const QString &symbol, const QString &text, const QColor &tint);
};
