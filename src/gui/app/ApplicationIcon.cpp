#include "gui/app/ApplicationIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

// The resource lives in a static library: naming its initializer keeps the linker from dropping it.
static void initialiseIconResource() {
    static const bool initialised = [] {
        Q_INIT_RESOURCE(tessaro);
        return true;
    }();
    (void)initialised;
}

namespace tessaro {

QIcon applicationIcon() {
    initialiseIconResource();
    // Rendered here rather than through Qt's SVG icon plugin, which a portable folder may not find.
    QSvgRenderer renderer(QStringLiteral(":/icons/tessaro.svg"));
    QIcon icon;
    if (!renderer.isValid()) return icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace tessaro
