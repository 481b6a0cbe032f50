#include "app/jpeg_image.h"

// libjpeg's header needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>

namespace tessevin::app {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back
// out of the decoder instead of letting it end the process.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void on_error(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void on_message(j_common_ptr) {}  // warnings are not shown

// The region that libjpeg may jump out of. It changes no local of its own after
// setjmp: the picture goes to *out, which lives in the caller's frame.
bool decode_into(const unsigned char* data, std::size_t size, QImage* out) {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = on_error;
  errors.base.output_message = on_message;
  if (setjmp(errors.escape) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *out = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                QImage::Format_RGB888);
  if (out->isNull() || info.output_components != 3) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->scanLine(static_cast<int>(info.output_scanline));
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

QImage decode_jpeg(const unsigned char* data, std::size_t size) {
  if (data == nullptr || size == 0) return {};
  QImage image;
  if (!decode_into(data, size, &image)) return {};
  return image;
}

}  // namespace tessevin::app
