// JPEG pictures (the splash and About artwork) decoded through libjpeg.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace ostra {

// Decodes a JPEG held in memory. Corrupt or truncated data gives a null
// image; libjpeg's fatal errors never end the program.
QImage DecodeJpeg(const QByteArray& bytes);

// Reads a JPEG from a file or a Qt resource path (":/artwork/splash.jpg");
// a null image when it cannot be read or decoded.
QImage LoadJpeg(const QString& path);

}  // namespace ostra
