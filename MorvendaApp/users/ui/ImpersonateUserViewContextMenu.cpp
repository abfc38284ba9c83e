#include "ImpersonateUserViewContextMenu.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/components/Symbols.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/users/AdminAddress.h"
#include "MorvendaApp/users/ImpersonateListViewModel.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

void copyToPasteboard(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}

} // namespace

ImpersonateUserViewContextMenu::ImpersonateUserViewContextMenu(const ImpersonateUserData &user,
    ImpersonateListViewModel &viewModel, OpenUrl openUrl, QWidget *parent)
    : QMenu(parent)
{
    const QPalette &colours = palette();
    const QColor primary = namedColor(NamedColor::Primary, colours);
    const bool current = viewModel.currentUserToken() == user.userToken;
    const std::optional<QUrl> adminURL = AdminAddress::forStoredUser(user.retailerToken, user.brandToken);

    QAction *impersonate = current
        ? add(QStringLiteral("checkmark.circle.fill"), L10n::text("Active"), namedColor(NamedColor::Green, colours))
        : add(QStringLiteral("arrow.up.and.person.rectangle.portrait"), L10n::text("Impersonate"), primary);
    impersonate->setEnabled(viewModel.canImpersonate() && !current);
    connect(impersonate, &QAction::triggered, &viewModel, [&viewModel, user] { viewModel.impersonate(user); });

    QAction *admin = add(QStringLiteral("arrow.forward.circle"), L10n::text("User.openOnAdmin"),
        namedColor(NamedColor::Accent, colours));
    admin->setEnabled(adminURL.has_value());
    connect(admin, &QAction::triggered, this, [adminURL, openUrl] {
        if (adminURL) {
            openUrlWith(openUrl, *adminURL);
        }
    });

    const QColor yellow = namedColor(NamedColor::Yellow, colours);
    QAction *favorite = user.favorite ? add(QStringLiteral("star"), L10n::text("Unfavorite"), yellow)
                                      : add(QStringLiteral("star.fill"), L10n::text("SaveAsFavorite"), yellow);
    // Like the admin entry: a user typed in by hand is marked with the row's star instead.
    favorite->setEnabled(adminURL.has_value());
    connect(favorite, &QAction::triggered, &viewModel, [&viewModel, user] { viewModel.toggleFavorite(user); });

    addSeparator();
    const QString copySymbol = QStringLiteral("square.on.square");
    const auto addCopy = [&](const char *key, const std::optional<QString> &value) {
        if (value) {
            QAction *copy = add(copySymbol, L10n::text(key), primary);
            const QString text = *value;
            connect(copy, &QAction::triggered, this, [text] { copyToPasteboard(text); });
        }
    };
    addCopy("CopyUserToken", user.userToken);
    addCopy("CopyUserName", user.name);
    addCopy("CopyUserEmail", user.email);
    addCopy("CopyBrandToken", user.brandToken);
    addCopy("CopyRetailerToken", user.retailerToken);

    addSeparator();
    QAction *remove = add(QStringLiteral("trash"), L10n::text("Delete"), namedColor(NamedColor::Red, colours));
    const QString token = user.userToken;
    connect(remove, &QAction::triggered, &viewModel, [&viewModel, token] { viewModel.deleteUser(token); });
}

QAction *ImpersonateUserViewContextMenu::add(const QString &symbol, const QString &text, const QColor &tint)
{
    // Texts are ours, but a "&" would still turn into a shortcut mark.
    QAction *action = addAction(Symbols::icon(symbol, tint), QString(text).replace(u'&', QStringLiteral("&&")));
    action->setObjectName(text);
    return action;
}

QAction *ImpersonateUserViewContextMenu::action(const QString &text) const
{
    for (QAction *entry : actions()) {
        if (entry->objectName() == text) {
            return entry;
        }
    }
    return nullptr;
}
