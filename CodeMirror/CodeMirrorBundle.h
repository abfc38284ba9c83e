// Where the editor page lives: it is compiled into the program as a Qt resource. Any thread.
#pragma once

#include <QString>
#include <QUrl>

#include <tl/expected.hpp>

namespace CodeMirrorBundle {

// qrc:/codemirror/build/index.html; the page's scripts and style sheet sit beside it.
QUrl pageUrl();

// Checks that every file of the page is compiled in. The entry point calls this once at start-up,
// before any data exists, and stops with the error ("unable to find bundle") when it fails.
tl::expected<void, QString> check();

} // namespace CodeMirrorBundle
