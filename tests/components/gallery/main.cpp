// Shows the component gallery in a window, for looking at the widgets by hand:
// `morvenda_gallery [--dark]`.
#include "ComponentGallery.h"

#include "MorvendaApp/core/WindowManager.h"

#include <QApplication>
#include <QScrollArea>
#include <QStyleFactory>

#include "GalleryPalettes.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (app.arguments().contains(QStringLiteral("--dark")))
        QApplication::setPalette(galleryDarkPalette());
    WindowManager windowManager;
    QScrollArea window;
    window.setWidget(buildComponentGallery(windowManager));
    window.setWidgetResizable(true);
    window.resize(720, 900);
    window.show();
    return app.exec();
}
