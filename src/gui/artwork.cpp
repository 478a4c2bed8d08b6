#include "gui/artwork.h"

#include <QDir>

#include "gui/jpeg_image.h"

static void InitResources() { Q_INIT_RESOURCE(resources); }

namespace ostra {

void InitArtwork() {
  static const bool done = (InitResources(), true);
  (void)done;
}

QImage SplashPicture() {
  InitArtwork();
  return LoadJpeg(":/artwork/splash.jpg");
}

QImage AboutPicture() {
  InitArtwork();
  return LoadJpeg(":/artwork/about.jpg");
}

}  // namespace ostra
