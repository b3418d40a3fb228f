#include "artwork.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>

#ifdef QUILLMARK_HAVE_IMAGES
static void initImages() {
    Q_INIT_RESOURCE(images);
}
#else
static void initImages() {}
#endif

namespace Artwork {

QPixmap render(const QString& name, QSize pixels) {
    static const bool initialised = (initImages(), true);
    Q_UNUSED(initialised);

    QPixmap pixmap(pixels);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/images/") + name);
    if (svg.isValid()) {
        QPainter p(&pixmap);
        svg.render(&p, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    return pixmap;
}

QIcon appIcon() {
    QIcon icon;
    for (int side : {16, 32, 48})
        icon.addPixmap(render(QStringLiteral("icon_app.svg"), QSize(side, side)));
    return icon;
}

} // namespace Artwork
