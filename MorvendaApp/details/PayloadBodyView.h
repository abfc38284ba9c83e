// The Body tab: the payload's body text, read-only, wrapped and JSON-highlighted, in the shared
// code viewer, in the window's light or dark scheme. The pane owns its viewer model for as long
// as it stays in place; a new text reaches the editor only when it differs. Main thread only.
#pragma once

#include "CodeMirror/CodeMirrorViewModel.h"

#include <QWidget>

class CodeMirrorView;

class PayloadBodyView : public QWidget
{
    Q_OBJECT

public:
    explicit PayloadBodyView(const QString &json, QWidget *parent = nullptr);
    ~PayloadBodyView() override;

    const QString &json() const { return m_json; }
    void setJson(const QString &json);

    CodeMirrorViewModel &viewModel() { return m_viewModel; }
    CodeMirrorView *codeView() const { return m_codeView; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void followPalette();

    CodeMirrorViewModel m_viewModel;
    CodeMirrorView *m_codeView = nullptr;
    QString m_json;
};
