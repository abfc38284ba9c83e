// The add-user sheet: a window-modal dialog over the impersonation window where the developer
// types a user token (required) and a name. Return saves only while Save is enabled; Escape,
// Cancel and the close button leave everything unchanged. A failed save keeps the sheet open
// (the alert says why). Deletes itself when closed; main thread.
#pragma once

#include <QDialog>

class ImpersonateListViewModel;
class ImpersonateUserCreationViewModel;
class QLineEdit;
class QPushButton;

class ImpersonateUserCreationView : public QDialog
{
    Q_OBJECT

public:
    ImpersonateUserCreationView(ImpersonateListViewModel &listViewModel, QWidget *parent);

    ImpersonateUserCreationViewModel &viewModel() const { return *m_viewModel; }
    QLineEdit *tokenField() const { return m_token; }
    QLineEdit *nameField() const { return m_name; }
    QPushButton *saveButton() const { return m_save; }

    void save();

private:
    void buildLayout();
    void connectSignals();

    ImpersonateUserCreationViewModel *m_viewModel;
    QLineEdit *m_token = nullptr;
    QLineEdit *m_name = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_close = nullptr;
};
