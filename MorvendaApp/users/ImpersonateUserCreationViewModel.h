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
    // While the token is empty text, and while a save is on its way, Save is disabled.
    bool canSave() const { return !m_userToken.isEmpty() && !m_saving; }

    // Hands the user to the store's writer and returns at once: false when Save is disabled. A
    // token that is already stored keeps its record and takes the typed name only when one was
    // typed. Once it landed the list reloads and saved() follows (the sheet then closes); when the
    // store refused, an alert says why and Save is enabled again (the sheet stays).
    bool save();

signals:
    void userTokenChanged(const QString &token);
    void nameChanged(const QString &name);
    void canSaveChanged(bool canSave);
    void saved();

private:
    ImpersonateListViewModel &m_listViewModel;
    QString m_userToken;
    QString m_name;
    bool m_saving = false;
};
