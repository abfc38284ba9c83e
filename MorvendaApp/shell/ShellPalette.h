// Our own light and dark palettes for the Fusion style. Accent is the highlight colour (Qt 6.4
// has no accent role).
#pragma once

#include "MorvendaApp/shell/PreferredColorScheme.h"

#include <QPalette>

namespace ShellPalette {

QPalette light();
QPalette dark();
QPalette forScheme(ColorScheme scheme);

} // namespace ShellPalette
