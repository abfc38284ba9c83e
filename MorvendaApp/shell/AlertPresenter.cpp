#include "AlertPresenter.h"


#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <utility>

namespace {

// Button labels are shown verbatim: a "&" would otherwise mark a shortcut.
QString buttonLabel(const QString &title)
{
    QString label = title;
    return label.replace(u'&', QStringLiteral("&&"));
}

using ButtonActions = QList<std::pair<QAbstractButton *, std::function<void()>>>;

// Escape runs the cancelling button: the first that only dismisses, else the last. Return runs
// that same dismissing button where there is one, so a stray keystroke never sends a command to
// an app; with every button acting, Return keeps the platform's choice.
void assignKeys(QMessageBox *box, const ButtonActions &buttons)
{
    QAbstractButton *dismissing = nullptr;
    for (const auto &[button, completion] : buttons) {
        if (!completion) {
            dismissing = button;
            break;
        }
    }
    box->setEscapeButton(dismissing ? dismissing : buttons.constLast().first);
    if (auto *push = qobject_cast<QPushButton *>(dismissing))
        box->setDefaultButton(push);
}

} // namespace

AlertPresenter::AlertPresenter(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    Q_ASSERT(window);
    m_windowHasAppeared = window->isVisible();
    if (!m_windowHasAppeared)
        window->installEventFilter(this);
}

void AlertPresenter::receive(const std::optional<Alert::ViewState> &alert)
{
    if (!alert)
        return;
    if (!m_windowHasAppeared) {
        m_pending = alert;
        return;
    }
    m_pending.reset();
    if (m_box && m_shown && alert->isRepeatOf(*m_shown)) {
        ++m_repeats;
        return;
    }
    present(*alert);
}

void AlertPresenter::logRepeats()
{
    const qint64 repeats = std::exchange(m_repeats, 0);
    if (repeats > 0 && m_logger && m_shown) {
        m_logger->append(repeats == 1
                ? QStringLiteral("The alert \"%1\" was raised 1 more time while it was shown").arg(m_shown->title)
                : QStringLiteral("The alert \"%1\" was raised %2 more times while it was shown").arg(m_shown->title, QString::number(repeats)));
    }
}

bool AlertPresenter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Show && !m_windowHasAppeared) {
        m_windowHasAppeared = true;
        m_window->removeEventFilter(this);
        if (m_pending) {
            // After the show completes, so the box opens on a mapped window; an alert raised in
            // between replaces the pending one.
            QMetaObject::invokeMethod(this, [this] {
                if (const std::optional<Alert::ViewState> pending = std::exchange(m_pending, std::nullopt))
                    present(*pending);
            }, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

void AlertPresenter::dismissShown()
{
    if (!m_box)
        return;
    QMessageBox *box = m_box;
    m_box = nullptr;
    box->disconnect(this); // its completions must not run
    // close() would be refused: a box without an escape button only closes through its buttons.
    box->hide();
    box->deleteLater();
}

void AlertPresenter::present(const Alert::ViewState &alert)
{
    dismissShown();
    logRepeats(); // of the box just replaced, or of one closed with its window

    QWidget *over = m_chooseTarget ? m_chooseTarget() : nullptr;
    auto *box = new QMessageBox(over ? over : m_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(QMessageBox::NoIcon);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(alert.title);
    box->setText(alert.title);
    if (alert.message)
        box->setInformativeText(*alert.message);
    // Messages carry text from peers (error descriptions, decoder output): never rich text.
    for (QLabel *label : box->findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
    if (auto *titleLabel = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = titleLabel->font();
        bold.setBold(true);
        titleLabel->setFont(bold);
    }

    ButtonActions buttons;
    for (const Alert::Action &action : alert.actions)
        buttons.append({box->addButton(buttonLabel(action.title), QMessageBox::ActionRole), action.completion});
    if (alert.actions.isEmpty())
        box->setStandardButtons(QMessageBox::Ok);
    else
        assignKeys(box, buttons);

    connect(box, &QMessageBox::buttonClicked, this, [this, box, buttons](QAbstractButton *clicked) {
        std::function<void()> completion;
        for (const auto &[button, action] : buttons) {
            if (button == clicked)
                completion = action;
        }
        if (m_box == box) {
            m_box = nullptr;
            logRepeats();
        }
        box->disconnect(this);
        if (completion)
            completion(); // may raise the next alert, which then opens on its own
    });
    m_box = box;
    m_shown = alert;
    box->open();
}
