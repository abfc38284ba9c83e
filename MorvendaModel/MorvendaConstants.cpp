#include "MorvendaConstants.h"

namespace MorvendaConstants {

QString serviceType()
{
    return QStringLiteral("_morvenda._tcp");
}

} // namespace MorvendaConstants
