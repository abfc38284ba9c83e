// Through this interface the stores raise alerts and send commands to the active app without
// knowing the listener. Implemented by MorvendaListener; main thread only.
#pragma once

#include "MorvendaApp/core/Alert.h"
#include "MorvendaModel/AppPayload.h"

class AlertPresentingDelegate
{
public:
    virtual ~AlertPresentingDelegate() = default;

    // Raises `alert` (the listener publishes it as its alert state).
    virtual void presentAlert(const Alert::ViewState &alert) = 0;
    // Sends `payload` to the active connection; does nothing (and logs nothing) without one.
    virtual void sendToActiveConnection(const AppPayload &payload) = 0;

protected:
    AlertPresentingDelegate() = default;
    AlertPresentingDelegate(const AlertPresentingDelegate &) = default;
    AlertPresentingDelegate &operator=(const AlertPresentingDelegate &) = default;
};
