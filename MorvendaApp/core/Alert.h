// Descriptions of the modal alerts the tool raises. Any code on the main thread assigns an
// `Alert::ViewState` to the listener's published alert state; the main window presents it.
// Plain values without widgets, so the session core can build them.
#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <functional>
#include <optional>

namespace Alert {

// One button. The title is already localized and is also the button's identity, so the buttons
// of one alert must have distinct titles. An empty completion only dismisses the alert.
struct Action
{
    QString title;
    std::function<void()> completion;
};

// One alert to present. It deliberately has no equality: assigning the same content twice raises
// two alerts (the presenter then shows an information-only one once while it is on screen).
struct ViewState
{
    QString title;
    std::optional<QString> message;
    QList<Action> actions; // in display order; empty means the standard OK button

    // Whether this alert only tells again what `other` tells: the same title, message and button
    // titles, and no button of either runs anything. Alerts whose buttons act are never repeats,
    // since their actions cannot be compared (impersonating one user or another).
    bool isRepeatOf(const ViewState &other) const;

    // The app still speaks the older protocol. `contextDescription` names the coding path and
    // the decoder's message of the failure; it is inserted as an argument, never as a pattern.
    static ViewState legacyCommunicationAlert(const QString &contextDescription);

    // The app has binary encoding on; the first button runs `disableBinaryEncoding`.
    static ViewState binaryDecodingAlert(std::function<void()> disableBinaryEncoding);

    // A command could not be delivered to an app; `errorDescription` is the error's text.
    static ViewState errorSendingMessageAlert(const QString &errorDescription);

    // The chosen stored user belongs to another app; the first button impersonates anyway.
    static ViewState mismatchUserAlert(std::function<void()> continueImpersonation);
};

} // namespace Alert

Q_DECLARE_METATYPE(Alert::ViewState)
Q_DECLARE_METATYPE(std::optional<Alert::ViewState>)
