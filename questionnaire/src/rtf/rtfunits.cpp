#include "rtfunits.h"

#include <QGuiApplication>
#include <QScreen>

namespace quill::rtf {

double pixelsPerTwip() {
    double dpi = 96.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            dpi = screen->logicalDotsPerInch();
    }
    if (dpi <= 0)
        dpi = 96.0;
    return dpi / 1440.0;
}

} // namespace quill::rtf
