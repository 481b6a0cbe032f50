// Decoding the banner picture with libjpeg.
#pragma once

#include <QImage>
#include <cstddef>

namespace tessevin::app {

// An RGB image of the JPEG in `data`; a null image when it cannot be decoded.
[[nodiscard]] QImage decode_jpeg(const unsigned char* data, std::size_t size);

}  // namespace tessevin::app
