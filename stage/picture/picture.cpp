#include "stage/picture/picture.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "stage/picture/decoders.h"

namespace stage {

namespace pd = picture_detail;

namespace {

std::optional<DecodedPicture> Decode(const std::uint8_t* bytes, std::int32_t length) {
  const auto size = static_cast<std::size_t>(length);
  const PictureFormat format = DetectPictureFormat(bytes, length);
  switch (format) {
    case PictureFormat::Gif:
      return pd::DecodeGif(bytes, size);
    case PictureFormat::Bmp:
      return pd::DecodeBmp(bytes, size);
    case PictureFormat::Jpeg:
      return pd::DecodeJpeg(bytes, size);
    case PictureFormat::IconFile:
    case PictureFormat::CursorFile:
      return pd::DecodeIcon(bytes, size, format);
    case PictureFormat::Pcx8:
    case PictureFormat::Pcx1:
      return pd::DecodePcx(bytes, size, format);
    case PictureFormat::None:
      break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<DecodedPicture> DecodePicture(const std::uint8_t* bytes, std::int32_t length) {
  if (bytes == nullptr || length <= 0) return std::nullopt;
  // A picture within the size limit can still need more memory than there is; that is one
  // more file that does not decode, not an exception out of the stage.
  try {
    return Decode(bytes, length);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<DecodedPicture> DecodePictureFile(const std::filesystem::path& path) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
#ifdef _WIN32
  // Windows paths are wide: the narrow fopen would lose what the code page cannot spell.
  std::unique_ptr<std::FILE, Closer> file(_wfopen(path.c_str(), L"rb"));
#else
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
#endif
  if (!file) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  try {
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
      // A byte count has to fit the decoder's signed 32-bit length.
      if (bytes.size() + n > std::size_t{INT32_MAX}) return std::nullopt;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return DecodePicture(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF;

void ConvertIndexed(const IndexedImage& image, std::int32_t width, std::int32_t height,
                    ScreenBitmap& out) {
  const std::int32_t w = std::min(width, image.width);
  const std::int32_t h = std::min(height, image.height);
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint8_t* src = image.rows.data() + std::size_t(y) * std::size_t(image.stride);
    std::uint32_t* dst = out.pixels.data() + std::size_t(y) * std::size_t(width);
    for (std::int32_t x = 0; x < w; ++x) dst[x] = image.colors[src[x]];
  }
}

// The decoders only make consistent pictures, but anyone may construct one: a picture whose
// pixel block is smaller than its size says converts to an empty bitmap instead of a read past
// the block.
bool Consistent(const DecodedPicture& picture) {
  const std::int64_t w = picture.width(), h = picture.height();
  if (w < 0 || h < 0) return false;
  const auto count = std::size_t(w * h);
  if (const RgbImage* rgb = picture.rgb()) {
    return rgb->width == w && rgb->height == h && rgb->rgb.size() >= count * 3;
  }
  if (const IndexedImage* image = picture.indexed()) {
    return image->width >= 0 && image->height >= 0 && image->stride >= image->width &&
           image->rows.size() >= std::size_t(image->stride) * std::size_t(image->height);
  }
  if (const BitImage* bits = picture.bits()) {
    return bits->width == w && bits->height == h && std::int64_t{bits->stride} * 8 >= w &&
           bits->bits.size() >= std::size_t(bits->stride) * std::size_t(h);
  }
  if (const IconImage* icon = picture.icon()) {
    return icon->width == w && icon->height == h && icon->pixels.size() == count &&
           icon->mask.size() == count;
  }
  return false;
}

ScreenBitmap Convert(const DecodedPicture& picture) {
  ScreenBitmap out;
  if (!Consistent(picture)) return out;
  out.width = picture.width();
  out.height = picture.height();
  const std::size_t count = std::size_t(out.width) * std::size_t(out.height);
  if (const RgbImage* rgb = picture.rgb()) {
    out.pixels.resize(count);
    const std::uint8_t* p = rgb->rgb.data();
    for (std::size_t i = 0; i < count; ++i, p += 3) {
      out.pixels[i] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
  } else if (const IndexedImage* indexed = picture.indexed()) {
    // A GIF's first image may be smaller than its logical screen; the rest stays white.
    out.pixels.assign(count, kWhite);
    ConvertIndexed(*indexed, out.width, out.height, out);
  } else if (const BitImage* bits = picture.bits()) {
    out.pixels.resize(count);
    for (std::int32_t y = 0; y < out.height; ++y) {
      const std::uint8_t* row = bits->bits.data() + std::size_t(y) * std::size_t(bits->stride);
      std::uint32_t* dst = out.pixels.data() + std::size_t(y) * std::size_t(out.width);
      for (std::int32_t x = 0; x < out.width; ++x) {
        dst[x] = (row[x >> 3] >> (7 - (x & 7))) & 1 ? kWhite : 0;
      }
    }
  } else if (const IconImage* icon = picture.icon()) {
    out.pixels = icon->pixels;
    out.mask = icon->mask;
  }
  return out;
}

}  // namespace

ScreenBitmap MakeScreenBitmap(const DecodedPicture& picture) {
  try {
    return Convert(picture);
  } catch (const std::bad_alloc&) {
    return ScreenBitmap{};  // out of memory: an empty bitmap, which draws nothing
  }
}

}  // namespace stage
