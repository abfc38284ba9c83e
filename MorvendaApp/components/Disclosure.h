// A labelled value that folds away: a header with a chevron, the title and an optional widget of
// the caller's (a copy button), and below it the value text, cut at 200 lines. Built expanded;
// a click anywhere on the header folds or unfolds it. Title and value are shown as plain text.
// Main thread only.
#pragma once

#include <QWidget>

class QLabel;

class Disclosure : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxContentLines = 200;

    // `action`, when given, is placed in the header after the title and owned by the disclosure.
    Disclosure(const QString &title, const QString &content, QWidget *action = nullptr, QWidget *parent = nullptr);

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    void toggle();
    void setContent(const QString &content);

    // The first `maxLines` lines of `text`, line feeds kept between them.
    static QString firstLines(const QString &text, int maxLines);

signals:
    void expandedChanged(bool expanded);

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildLayout(const QString &title, QWidget *action);
    void refresh();

    bool m_expanded = true;
    QWidget *m_header = nullptr;
    QLabel *m_chevron = nullptr;
    QLabel *m_title = nullptr;
    QWidget *m_contentRow = nullptr;
    QLabel *m_content = nullptr;
};
