#include "ImpersonateUserCreationViewModel.h"

#include "ImpersonateListViewModel.h"
#include "ImpersonateUserStore.h"

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
    const auto stored = m_listViewModel.store().addUser(m_userToken, m_name);
    if (!stored) {
        m_listViewModel.raiseSaveFailure(stored.error());
        return false;
    }
    m_listViewModel.fetchUsers();
    return true;
}
