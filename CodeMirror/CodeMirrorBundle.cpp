#include "CodeMirror/CodeMirrorBundle.h"

#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcBundle, "morvenda.CodeMirrorBundle")

namespace CodeMirrorBundle {

QUrl pageUrl()
{
    return QUrl(QStringLiteral("qrc:/codemirror/build/index.html"));
}

tl::expected<void, QString> check()
{
    bool complete = true;
    for (const char *file : {"index.html", "editor.js", "page.css"}) {
        const QFileInfo info(QStringLiteral(":/codemirror/build/") + QLatin1StringView(file));
        if (!info.exists() || info.size() == 0) {
            qCCritical(lcBundle) << "the editor page is incomplete: missing" << info.filePath();
            complete = false;
        }
    }
    if (!complete)
        return tl::unexpected(QStringLiteral("unable to find bundle"));
    return {};
}

} // namespace CodeMirrorBundle
