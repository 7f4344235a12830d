// JPEG through the classic libjpeg interface. libjpeg reports errors by calling a function
// that must not return; ours jumps back here, so that an error refuses the file instead of
// ending the process, and nothing is ever printed.

#include <csetjmp>
#include <cstdio>

#include "stage/picture/decoders.h"

// jpeglib.h uses FILE and size_t without including their headers.
#include <jpeglib.h>

namespace stage::picture_detail {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(errors->jump, 1);
}

void Quiet(j_common_ptr) {}

// Owns the decompressor so that every way out, the error jump included, destroys it.
struct Decompressor {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  bool created = false;
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

// Kept apart from DecodeJpeg so that no object with a destructor lives in the frame that
// setjmp returns to twice; `image` is filled in place.
bool Decompress(Decompressor& d, const std::uint8_t* data, std::size_t size, RgbImage& image) {
  d.info.err = jpeg_std_error(&d.errors.base);
  d.errors.base.error_exit = OnError;
  d.errors.base.output_message = Quiet;
  if (setjmp(d.errors.jump) != 0) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
  if (!FitsPixelLimit(d.info.image_width, d.info.image_height)) return false;
  jpeg_start_decompress(&d.info);
  const int components = d.info.output_components;
  if (components != 1 && components != 3) return false;
  const std::size_t width = d.info.output_width;
  const std::size_t height = d.info.output_height;
  image.width = static_cast<std::int32_t>(width);
  image.height = static_cast<std::int32_t>(height);
  image.rgb.resize(width * height * 3);
  while (d.info.output_scanline < d.info.output_height) {
    std::uint8_t* row = image.rgb.data() + std::size_t(d.info.output_scanline) * width * 3;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&d.info, rows, 1) != 1) return false;
    if (components == 1) {
      // Grey spreads into all three channels, from the right so nothing is overwritten early.
      for (std::size_t x = width; x-- > 0;) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
    }
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

std::optional<DecodedPicture> DecodeJpeg(const std::uint8_t* data, std::size_t size) {
  Decompressor decompressor;
  RgbImage image;
  if (!Decompress(decompressor, data, size, image)) return std::nullopt;
  const std::int32_t width = image.width;
  const std::int32_t height = image.height;
  return DecodedPicture(PictureFormat::Jpeg, width, height, std::move(image));
}

}  // namespace stage::picture_detail
