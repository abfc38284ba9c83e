// What the user panel shows: the user that the active connection's app reported last, with the
// labelled rows of its fields and its retailer's admin page. Follows the shared UserManager and
// MorvendaListener, which outlive it. Main thread; no widgets.
#pragma once

#include "MorvendaModel/User.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <optional>

class MorvendaListener;
class UserManager;

class UserViewModel : public QObject
{
    Q_OBJECT

public:
    // One copyable row of the panel: a fixed English label and the value's text.
    struct Row
    {
        QString label;
        QString value;
        friend bool operator==(const Row &, const Row &) = default;
    };

    UserViewModel(UserManager &userManager, MorvendaListener &clientListener, QObject *parent = nullptr);

    const std::optional<User> &user() const { return m_user; }

    // Reads the active connection's user again and publishes it (also when unchanged).
    void refreshUser();

    // The user's rows, then its retailer's, each only when its value is present; the capabilities
    // row is always there, one capability per line.
    static QList<Row> rows(const User &user);
    // The retailer's admin page; none without a retailer token.
    static std::optional<QUrl> adminURL(const std::optional<User> &user);

signals:
    void userChanged(const std::optional<User> &user);

private:
    UserManager &m_userManager;
    MorvendaListener &m_clientListener;
    std::optional<User> m_user;
};
