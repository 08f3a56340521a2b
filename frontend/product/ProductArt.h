// The product's pictures, drawn in code so that they stay sharp at any
// size and need no image files: the banner behind the page buttons and
// the logo of the About page and the window.
#pragma once

#include <QPixmap>
#include <QSize>

namespace tolvan {

// A calm blue band with the logo, the program's name and its line.
QPixmap BannerPicture(QSize size, const QString& title, const QString& subtitle);

// A white envelope on a rounded blue square, size × size pixels.
QPixmap LogoPicture(int size);

}  // namespace tolvan
