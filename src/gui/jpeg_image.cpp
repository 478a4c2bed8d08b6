#include "gui/jpeg_image.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <limits>
#include <vector>

// libjpeg's header needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace ostra {

namespace {

// An error manager that returns control to the decoder by longjmp instead of
// calling exit(), as libjpeg's default one does.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool truncated;
};

[[noreturn]] void OnFatalError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr) {}  // warnings stay quiet

// A stream that ends early is padded by libjpeg with grey and reported as a
// warning only; such a picture counts as corrupt.
void OnEmitMessage(j_common_ptr info, int level) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  if (level < 0 && manager->pub.msg_code == JWRN_JPEG_EOF) manager->truncated = true;
}

constexpr JDIMENSION kMaxSide = 16384;

// Everything that must survive a longjmp lives outside this function's
// automatic variables that change after setjmp (the image is owned by the
// caller), so nothing with a destructor is skipped.
bool Decode(const unsigned char* data, unsigned long size, QImage& image) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnFatalError;
  errors.pub.output_message = OnMessage;
  errors.pub.emit_message = OnEmitMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxSide ||
      info.output_height > kMaxSide || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                 QImage::Format_RGB888);
  if (image.isNull()) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return !errors.truncated;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& bytes) {
  if (bytes.size() < 4 ||
      static_cast<unsigned long long>(bytes.size()) > std::numeric_limits<unsigned long>::max()) {
    return {};
  }
  QImage image;
  if (!Decode(reinterpret_cast<const unsigned char*>(bytes.constData()),
              static_cast<unsigned long>(bytes.size()), image)) {
    return {};
  }
  return image.convertToFormat(QImage::Format_RGB32);
}

QImage LoadJpeg(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return DecodeJpeg(file.readAll());
}

}  // namespace ostra
