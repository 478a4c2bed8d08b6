// The splash and About pictures, compiled into the program as resources.
#pragma once

#include <QImage>

namespace ostra {

// Registers the compiled-in resources (needed once, as they live in a
// static library).
void InitArtwork();
QImage SplashPicture();
QImage AboutPicture();

}  // namespace ostra
