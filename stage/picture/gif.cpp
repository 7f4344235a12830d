// GIF 87a/89a: the block walk up to the first image, then that image's LZW code stream.
//
// Decisions this decoder makes where files go wrong:
// - A trailer (0x3B) or a zero byte met before any image refuses the file, as does running out
//   of data before an image.
// - Extensions other than the graphic control block are skipped as chains of sub-blocks, the
//   leading fixed-size block by its own size byte.
// - An image must be complete: a code stream that ends (end-of-information code, end of its
//   sub-blocks or end of the data) before width x height indices were produced refuses the
//   file, so a cut-off download never shows as a picture with a block of colour 0 in it.
//   Indices beyond the last pixel are dropped.
// - A code that names an entry not yet in the table refuses the file, as does a first code
//   after a clear code (or at the start) that is not a literal, a clear or the end code.
// - When the table holds all 4096 entries, codes stay 12 bits wide and no entry is added until
//   the next clear code (what encoders that defer the clear code expect).
// - Minimum code sizes other than 1 to 8 refuse the file: indices are bytes.
// - Without any colour table every entry is black.

#include <cstring>

#include "stage/picture/decoders.h"

namespace stage::picture_detail {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr std::uint32_t kTableSize = 1u << kMaxCodeBits;
// Decoded strings are copied in blocks of this many bytes, possibly writing a little past the
// string's end (later strings overwrite it), so the output buffer carries this much slack.
constexpr std::size_t kCopyBlock = 16;

// Skips a chain of data sub-blocks up to and including its zero-length terminator.
bool SkipSubBlocks(ByteReader& r) {
  for (;;) {
    const std::uint8_t n = r.U8();
    if (r.failed()) return false;
    if (n == 0) return true;
    if (!r.Skip(n)) return false;
  }
}

// Reads the code stream's bits least significant first across sub-block boundaries. The fast
// refill loads eight bytes at once while they lie inside the current sub-block.
class CodeReader {
 public:
  CodeReader(const std::uint8_t* p, const std::uint8_t* end) : p_(p), block_end_(p), end_(end) {}

  // Makes at least `need` bits available if the stream still has them; false otherwise.
  bool Ensure(int need) {
    if (count_ >= need) return true;
    if (block_end_ - p_ >= 8) {
      std::uint64_t v;
      std::memcpy(&v, p_, 8);
      bits_ |= v << count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return true;
    }
    SlowRefill();
    return count_ >= need;
  }
  std::uint32_t Take(int width) {
    const std::uint32_t code = std::uint32_t(bits_) & ((1u << width) - 1);
    bits_ >>= width;
    count_ -= width;
    return code;
  }

 private:
  void SlowRefill() {
    while (count_ <= 56 && !ended_) {
      if (p_ == block_end_) {
        if (p_ >= end_) {
          ended_ = true;
          break;
        }
        const std::uint8_t n = *p_++;
        if (n == 0) {
          ended_ = true;
          break;
        }
        // A chain cut short by the end of the data still gives the bits it has.
        block_end_ = std::size_t(end_ - p_) < n ? end_ : p_ + n;
        continue;
      }
      bits_ |= std::uint64_t(*p_++) << count_;
      count_ += 8;
    }
  }

  const std::uint8_t* p_;
  const std::uint8_t* block_end_;
  const std::uint8_t* end_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
  bool ended_ = false;
};

// Each table entry is a string that already stands in the output: `length` bytes at `offset`.
// An entry made from the previous string plus the first byte of the current one is exactly
// the output from the previous string's start, so no entry ever needs its own storage.
struct CodeEntry {
  std::uint32_t offset;
  std::uint32_t length;
};

// The longest string a code can stand for: one byte more per table entry.
constexpr std::size_t kMaxString = kTableSize;

// The LZW decoder's state over one image's code stream, writing into out[0, count); out must
// have kCopyBlock bytes of slack after count.
class LzwDecoder {
 public:
  LzwDecoder(int min_code_size, std::uint8_t* out, std::size_t count)
      : min_code_size_(min_code_size),
        clear_(1u << min_code_size),
        width_(min_code_size + 1),
        next_(clear_ + 2),
        out_(out),
        count_(count) {}

  // False if the stream is corrupt or yields fewer than count indices.
  bool Run(CodeReader& reader) {
    // While even the longest string fits before the end, no write needs a bounds check.
    Step result = Step::kMore;
    while (result == Step::kMore && pos_ + kMaxString <= count_) result = Decode<false>(reader);
    while (result == Step::kMore) result = Decode<true>(reader);
    return result == Step::kEnd && pos_ >= count_;
  }

 private:
  enum class Step { kMore, kEnd, kCorrupt };

  template <bool kNearEnd>
  Step Decode(CodeReader& reader) {
    if (!reader.Ensure(width_)) return Step::kEnd;
    const std::uint32_t code = reader.Take(width_);
    std::uint32_t len;
    if (code < clear_) {
      if (!kNearEnd || pos_ < count_) out_[pos_] = std::uint8_t(code);
      len = 1;
    } else if (code == clear_) {
      width_ = min_code_size_ + 1;
      next_ = clear_ + 2;
      have_prev_ = false;
      return Step::kMore;
    } else if (code == clear_ + 1) {
      return Step::kEnd;
    } else {
      if (!have_prev_) return Step::kCorrupt;
      std::size_t src;
      bool repeat_first = false;
      if (code < next_) {
        src = table_[code].offset;
        len = table_[code].length;
      } else if (code == next_ && next_ < kTableSize) {
        // The string being defined right now: the previous one plus its own first byte.
        src = prev_pos_;
        len = prev_len_ + 1;
        repeat_first = true;
      } else {
        return Step::kCorrupt;
      }
      const std::size_t copy = repeat_first ? len - 1 : len;
      if (!kNearEnd || pos_ + len <= count_) {
        CopyString(out_ + pos_, out_ + src, copy);
        if (repeat_first) out_[pos_ + copy] = out_[src];
      } else if (pos_ < count_) {
        const std::size_t room = count_ - pos_;
        for (std::size_t i = 0; i < room && i < copy; ++i) out_[pos_ + i] = out_[src + i];
        if (repeat_first && copy < room) out_[pos_ + copy] = out_[src];
      }
    }
    if (have_prev_ && next_ < kTableSize) {
      table_[next_] = {std::uint32_t(prev_pos_), prev_len_ + 1};
      ++next_;
      if (next_ == (1u << width_) && width_ < kMaxCodeBits) ++width_;
    }
    have_prev_ = true;
    prev_pos_ = pos_;
    prev_len_ = len;
    pos_ += len;
    return Step::kMore;
  }

  // Every source byte lies before `dst` (a string ends where a later one starts), so block
  // copies read only final bytes for the part that matters; what they write past `n` is
  // overwritten by the strings that follow.
  static void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    std::size_t done = 0;
    do {
      // Through a temporary: a block may overlap its destination.
      std::uint8_t block[kCopyBlock];
      std::memcpy(block, src + done, kCopyBlock);
      std::memcpy(dst + done, block, kCopyBlock);
      done += kCopyBlock;
    } while (done < n);
  }

  const int min_code_size_;
  const std::uint32_t clear_;
  int width_;
  std::uint32_t next_;
  bool have_prev_ = false;
  std::size_t prev_pos_ = 0;
  std::uint32_t prev_len_ = 0;
  std::size_t pos_ = 0;
  std::uint8_t* out_;
  const std::size_t count_;
  CodeEntry table_[kTableSize];  // only entries below next_ are ever read
};

bool DecodeLzw(CodeReader& reader, int min_code_size, std::uint8_t* out, std::size_t count) {
  LzwDecoder decoder(min_code_size, out, count);
  return decoder.Run(reader);
}

// Moves rows laid out one after another (width bytes each) at the start of `rows` to their
// padded places, last row first so that no row overwrites one not yet moved, and clears the
// padding.
void SpreadRows(std::uint8_t* rows, std::size_t width, std::size_t stride, std::size_t height) {
  for (std::size_t y = height; y-- > 0;) {
    std::memmove(rows + y * stride, rows + y * width, width);
    std::memset(rows + y * stride + width, 0, stride - width);
  }
}

// Interlaced rows arrive in four passes: every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1.
void Deinterlace(const std::uint8_t* linear, std::uint8_t* rows, std::size_t width,
                 std::size_t stride, std::size_t height) {
  static constexpr std::size_t kStart[4] = {0, 4, 2, 1};
  static constexpr std::size_t kStep[4] = {8, 8, 4, 2};
  std::size_t source_row = 0;
  for (int pass = 0; pass < 4; ++pass) {
    for (std::size_t y = kStart[pass]; y < height; y += kStep[pass]) {
      std::memcpy(rows + y * stride, linear + source_row * width, width);
      ++source_row;
    }
  }
}

void ReadColorTable(const std::uint8_t* p, std::size_t entries,
                    std::array<std::uint32_t, 256>& colors) {
  for (std::size_t i = 0; i < entries; ++i, p += 3) {
    colors[i] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
  }
}

}  // namespace

std::optional<DecodedPicture> DecodeGif(const std::uint8_t* data, std::size_t size) {
  if (size <= 13) return std::nullopt;
  if (std::memcmp(data, "GIF87a", 6) != 0 && std::memcmp(data, "GIF89a", 6) != 0) {
    return std::nullopt;
  }
  ByteReader r(data, size);
  r.Skip(6);
  const std::int32_t screen_width = r.U16();
  const std::int32_t screen_height = r.U16();
  const std::uint8_t screen_flags = r.U8();
  r.Skip(2);  // background colour index and aspect ratio
  if (!FitsPixelLimit(screen_width, screen_height)) return std::nullopt;

  const std::uint8_t* global_table = nullptr;
  std::size_t global_entries = 0;
  if (screen_flags & 0x80) {
    global_entries = std::size_t{2} << (screen_flags & 7);
    // The table may not reach the end of the data: something has to follow it.
    if (r.remaining() <= global_entries * 3) return std::nullopt;
    global_table = r.Take(global_entries * 3);
  }

  // The walk up to the first image descriptor.
  for (;;) {
    const std::uint8_t introducer = r.U8();
    if (r.failed()) return std::nullopt;
    if (introducer == 0x2C) break;
    if (introducer != 0x21) return std::nullopt;  // trailer, zero byte or garbage
    const std::uint8_t label = r.U8();
    switch (label) {
      case 0xF9:
        // Graphic control: size byte, flags, delay, transparent index, terminator, at fixed
        // places. None of it changes the decoded picture.
        if (!r.Skip(6)) return std::nullopt;
        continue;
      case 0x01:  // plain text
      case 0xFF:  // application
      case 0xFE:  // comment
        // The fixed first block of plain-text (12 bytes) and application (11 bytes) blocks is
        // skipped by its own size byte like any sub-block: some writers store a longer one.
        break;
      default:
        return std::nullopt;
    }
    if (!SkipSubBlocks(r)) return std::nullopt;
  }

  r.Skip(4);  // left and top play no part
  const std::int32_t width = r.U16();
  const std::int32_t height = r.U16();
  const std::uint8_t flags = r.U8();
  if (r.failed() || !FitsPixelLimit(width, height)) return std::nullopt;

  IndexedImage image;
  image.width = width;
  image.height = height;
  image.stride = std::int32_t((width + 3) & ~3);
  if (flags & 0x80) {
    const std::size_t entries = std::size_t{2} << (flags & 7);
    const std::uint8_t* local_table = r.Take(entries * 3);
    if (local_table == nullptr) return std::nullopt;
    ReadColorTable(local_table, entries, image.colors);
  } else if (global_table != nullptr) {
    ReadColorTable(global_table, global_entries, image.colors);
  }
  const bool interlaced = flags & 0x40;

  const int min_code_size = r.U8();
  if (r.failed() || min_code_size < 1 || min_code_size > 8) return std::nullopt;

  const std::size_t count = std::size_t(width) * std::size_t(height);
  // A code of at least min+1 bits yields at most 4096 indices: a stream too short to fill the
  // image is refused before its rows are allocated.
  const std::size_t max_codes = r.remaining() * 8 / std::size_t(min_code_size + 1);
  if (count / kTableSize > max_codes) return std::nullopt;

  const std::size_t stride = std::size_t(image.stride);
  image.rows.resize(stride * std::size_t(height) + kCopyBlock);
  CodeReader codes(data + r.position(), data + size);
  if (interlaced) {
    std::vector<std::uint8_t> linear(count + kCopyBlock);
    if (!DecodeLzw(codes, min_code_size, linear.data(), count)) return std::nullopt;
    Deinterlace(linear.data(), image.rows.data(), std::size_t(width), stride, std::size_t(height));
  } else {
    if (!DecodeLzw(codes, min_code_size, image.rows.data(), count)) return std::nullopt;
    if (stride != std::size_t(width)) {
      SpreadRows(image.rows.data(), std::size_t(width), stride, std::size_t(height));
    }
  }
  image.rows.resize(stride * std::size_t(height));
  return DecodedPicture(PictureFormat::Gif, screen_width, screen_height, std::move(image));
}

}  // namespace stage::picture_detail
