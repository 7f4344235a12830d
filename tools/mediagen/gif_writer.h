#pragma once
// A GIF89a writer that controls every byte: header, one 256-entry global table, an optional
// loop extension, one graphic control extension before each image, and LZW data whose length
// is tuned so that the whole file has an exact byte count.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mediagen {

struct GifImage {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint8_t> indices;  // width * height, rows top-down
};

struct GifLayout {
  int width = 0, height = 0;
  std::uint8_t packed = 0xF7;  // logical screen flags
  std::uint8_t background = 0;
  std::array<std::uint8_t, 768> palette{};
  bool loop_forever = false;  // loop extension straight after the colour table
  std::uint8_t disposal = 0;
  std::uint16_t delay = 0;
  bool transparent_flag = false;
  std::uint8_t transparent_index = 255;
  std::vector<GifImage> images;
  std::vector<std::uint8_t> after_trailer;  // bytes that follow the 0x3B trailer
};

// The LZW code stream (minimum code size 8) of `indices`, without sub-block framing. The
// encoder matches greedily except at `splits` evenly spaced positions, where it ends the
// current string early; every split costs one extra code, which is how the stream is made
// longer without changing the pixels.
std::vector<std::uint8_t> EncodeLzw(const std::vector<std::uint8_t>& indices, std::size_t splits);

// Bytes of the image data (code size byte, sub-blocks, terminator) for `code_bytes` bytes of
// LZW stream laid into `extra_blocks` more sub-blocks than the fewest that hold it.
std::size_t FramedSize(std::size_t code_bytes, std::size_t extra_blocks);

// Writes the file with exactly `target` bytes, or explains in `error` why that cannot be done
// (the pixels compress too poorly, or too well even with every code split).
std::optional<std::vector<std::uint8_t>> WriteGifExact(const GifLayout& layout, std::size_t target,
                                                       std::string* error);

// Decodes the LZW stream of every image of a GIF written by WriteGifExact back into indices;
// the generator checks its own output with it before anything is written.
bool CheckGifRoundTrip(const std::vector<std::uint8_t>& file, const GifLayout& layout);

}  // namespace mediagen
