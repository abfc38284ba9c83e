// Constants the tool shares with the apps.
#pragma once

#include <QString>

namespace MorvendaConstants {

// DNS service-discovery type under which the server advertises itself and the apps look for it.
QString serviceType();

} // namespace MorvendaConstants
