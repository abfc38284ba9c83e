// A page showing every shared widget in its typical states, for looking at them and for the
// screenshot test. Test code only; never installed.
#pragma once

#include <QWidget>

class WindowManager;

// Builds the page with the application's current palette. `windowManager` must outlive it.
QWidget *buildComponentGallery(WindowManager &windowManager, QWidget *parent = nullptr);
