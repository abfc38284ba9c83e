// BottomView lives beside SideView: the two enumerations share their helpers.
#pragma once

#include "SideView.h"
