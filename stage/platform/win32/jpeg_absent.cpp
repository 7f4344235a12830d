// The JPEG decoder where libjpeg is not available (the Windows cross build): JPEG bytes give
// no picture, as bytes the stage cannot decode do.

#include "stage/picture/decoders.h"

namespace stage::picture_detail {

std::optional<DecodedPicture> DecodeJpeg(const std::uint8_t*, std::size_t) {
  return std::nullopt;
}

}  // namespace stage::picture_detail
