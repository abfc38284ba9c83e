// Where the file panels raise their failure alerts; the application wires it to the listener's
// published alert state (MorvendaListener::setAlertViewState).
#pragma once

#include "MorvendaApp/core/Alert.h"

#include <functional>

using AlertSink = std::function<void(const Alert::ViewState &)>;
