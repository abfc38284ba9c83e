// One row of the deeplink panel: the entry's name with a copy button, the link's preview with a
// field per typed part, and the send button, which is enabled only while an app is active and
// still connected. Owns its view model; main thread only.
#pragma once

#include "MorvendaApp/remote/DeeplinkItemViewModel.h"

#include <QWidget>

class CopyButton;
class MorvendaListener;
class QLineEdit;
class SymbolButton;

class DeeplinkItemView : public QWidget
{
    Q_OBJECT

public:
    DeeplinkItemView(Deeplinks::Case deeplinkCase, DeeplinkEnvironment environment, MorvendaListener &listener,
        const DeeplinkBaseAddresses &bases, QWidget *parent = nullptr);

    DeeplinkItemViewModel &viewModel() { return *m_viewModel; }
    void setEnvironment(DeeplinkEnvironment environment) { m_viewModel->setEnvironment(environment); }

    // The link's preview: its texts and fields, in component order.
    QWidget *preview() const { return m_preview; }
    // The fields of the typed parts, in component order.
    const QList<QLineEdit *> &inputFields() const { return m_fields; }
    CopyButton *copyButton() const { return m_copy; }
    SymbolButton *sendButton() const { return m_send; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void connectSignals();
    QWidget *makePreview();

    MorvendaListener &m_listener;
    DeeplinkItemViewModel *m_viewModel;
    QWidget *m_preview = nullptr;
    QList<QLineEdit *> m_fields;
    CopyButton *m_copy = nullptr;
    SymbolButton *m_send = nullptr;
};
