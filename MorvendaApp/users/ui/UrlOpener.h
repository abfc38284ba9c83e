// How the users module opens web pages (admin pages): the default browser unless the caller
// passes another opener, as tests do to capture the addresses. Main thread.
#pragma once

#include <QDesktopServices>
#include <QUrl>

#include <functional>

using OpenUrl = std::function<void(const QUrl &)>;

inline void openUrlWith(const OpenUrl &opener, const QUrl &url)
{
    if (opener) {
        opener(url);
    } else {
        QDesktopServices::openUrl(url);
    }
}
