// Presents the published alert state on one window as a window-modal, non-blocking message box.
// One subscription for the window's life: every assignment of an alert is presented once, the
// latest replacing the one on screen (whose buttons then never run), an assignment of none is
// ignored, and an alert raised before the window first appears is shown once when it does.
// While an information-only alert is on screen, an equal one is not presented again (a storm of
// failed sends would otherwise open box after box and keep the main thread busy for minutes):
// it is counted, and the count is logged once when the box goes.
// Owned by the window it presents on; main thread.
#pragma once

#include "MorvendaApp/core/Alert.h"
#include "MorvendaApp/session/Logger.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>


class QWidget;

class AlertPresenter : public QObject
{
    Q_OBJECT

public:
    explicit AlertPresenter(QWidget *window);

    // Presents what `source` publishes through `changed` (a signal carrying an Alert::ViewState or
    // an optional one), starting with `current`, the value published before this call.
    template<typename Source, typename Signal>
    void follow(const Source *source, Signal changed, const std::optional<Alert::ViewState> &current)
    {
        connect(source, changed, this, [this](const auto &alert) { receive(std::optional<Alert::ViewState>(alert)); });
        receive(current);
    }

    void receive(const std::optional<Alert::ViewState> &alert);

    // Picks, at the moment an alert opens, the window it opens over (where the developer is
    // looking); the presenter's own window when there is no chooser or it returns null.
    void setTargetChooser(std::function<QWidget *()> chooser) { m_chooseTarget = std::move(chooser); }

    // Where the count of alerts not presented again is written; none writes nothing.
    void setLogger(Logger *logger) { m_logger = logger; }

    // The box on screen, if any; for tests.
    QMessageBox *shownBox() const { return m_box; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void present(const Alert::ViewState &alert);
    void dismissShown();
    void logRepeats();

    QWidget *m_window;
    std::function<QWidget *()> m_chooseTarget;
    QPointer<QMessageBox> m_box;
    std::optional<Alert::ViewState> m_pending; // raised before the window first appeared
    std::optional<Alert::ViewState> m_shown;   // what m_box shows
    qint64 m_repeats = 0;                      // equal alerts raised while m_box is on screen
    QPointer<Logger> m_logger;
    bool m_windowHasAppeared = false;
};
