#include "ImpersonateUserCreationViewModel.h"

#include "ImpersonateListViewModel.h"

ImpersonateUserCreationViewModel::ImpersonateUserCreationViewModel(ImpersonateListViewModel &listViewModel,
    QObject *parent)
    : QObject(parent)
    , m_listViewModel(listViewModel)
{
}

void ImpersonateUserCreationViewModel::setUserToken(const QString &token)
{
    m_userToken = token;
    emit userTokenChanged(m_userToken);
    emit canSaveChanged(canSave());
}

void ImpersonateUserCreationViewModel::setName(const QString &name)
{
    m_name = name;
    emit nameChanged(m_name);
}

bool ImpersonateUserCreationViewModel::save()
{
    if (!canSave()) {
        return false;
    }
    m_saving = true;
    emit canSaveChanged(canSave());
    m_listViewModel.addUser(m_userToken, m_name, this, [this](bool stored) {
        m_saving = false;
        emit canSaveChanged(canSave());
        if (stored) {
            emit saved();
        }
    });
    return true;
}
