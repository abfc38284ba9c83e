// The add-user sheet's state: the typed token and name, whether Save is possible, and the save
// itself. One per open sheet; main thread.
#pragma once

#include <QObject>
#include <QString>

class ImpersonateListViewModel;

class ImpersonateUserCreationViewModel : public QObject
{
    Q_OBJECT
    // Published state: every assignment notifies (equal values included), after it is stored.
    Q_PROPERTY(QString userToken READ userToken WRITE setUserToken NOTIFY userTokenChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(bool canSave READ canSave NOTIFY canSaveChanged)

public:
    explicit ImpersonateUserCreationViewModel(ImpersonateListViewModel &listViewModel, QObject *parent = nullptr);

    // Taken exactly as typed: a single space is a token.
    const QString &userToken() const { return m_userToken; }
    void setUserToken(const QString &token);
    const QString &name() const { return m_name; }
    void setName(const QString &name);
    // While the token is empty text, Save is disabled.
    bool canSave() const { return !m_userToken.isEmpty(); }

    // Stores the user and reloads the list. A token that is already stored keeps its record and
    // takes the typed name only when one was typed. True when stored (the sheet then closes);
    // false when Save is disabled, or the store refused and an alert says why (the sheet stays).
    bool save();

signals:
    void userTokenChanged(const QString &token);
    void nameChanged(const QString &name);
    void canSaveChanged(bool canSave);

private:
    ImpersonateListViewModel &m_listViewModel;
    QString m_userToken;
    QString m_name;
};
