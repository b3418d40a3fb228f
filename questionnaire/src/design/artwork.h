#pragma once

#include <QPixmap>
#include <QString>

class QIcon;

// The program's pictures, drawn as SVG and compiled into the program under ":/images".
namespace Artwork {

// Renders ":/images/<name>" at exactly `pixels`. A picture that is missing or unreadable
// comes back blank (transparent), so a window never fails over its art.
QPixmap render(const QString& name, QSize pixels);

// The program's icon at the sizes a window manager asks for.
QIcon appIcon();

} // namespace Artwork
