#include "gif_writer.h"

#include <algorithm>

namespace mediagen {
namespace {

constexpr int kMinCodeSize = 8;
constexpr int kClear = 1 << kMinCodeSize;
constexpr int kEnd = kClear + 1;
constexpr int kFirstFree = kClear + 2;
// The encoder clears one code before the decoder's table would hold all 4096 entries.
constexpr int kLastCode = 4095;

class BitWriter {
 public:
  void Put(int code, int bits) {
    acc_ |= std::uint32_t(code) << count_;
    count_ += bits;
    while (count_ >= 8) {
      out_.push_back(std::uint8_t(acc_ & 0xFF));
      acc_ >>= 8;
      count_ -= 8;
    }
  }
  std::vector<std::uint8_t> Finish() {
    if (count_ > 0) out_.push_back(std::uint8_t(acc_ & 0xFF));
    acc_ = 0, count_ = 0;
    return std::move(out_);
  }

 private:
  std::uint32_t acc_ = 0;
  int count_ = 0;
  std::vector<std::uint8_t> out_;
};

void Put16(std::vector<std::uint8_t>& out, int v) {
  out.push_back(std::uint8_t(v & 0xFF));
  out.push_back(std::uint8_t((v >> 8) & 0xFF));
}

void AppendFramed(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& code,
                  std::size_t extra_blocks) {
  out.push_back(kMinCodeSize);
  const std::size_t blocks = (code.size() + 254) / 255 + extra_blocks;
  std::size_t pos = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    // Spread the bytes as evenly as the block count allows; each block holds 1 to 255.
    const std::size_t left = code.size() - pos, blocks_left = blocks - b;
    const std::size_t n = (left + blocks_left - 1) / blocks_left;
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), code.begin() + long(pos), code.begin() + long(pos + n));
    pos += n;
  }
  out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> EncodeLzw(const std::vector<std::uint8_t>& idx, std::size_t splits) {
  BitWriter bw;
  if (idx.empty()) {
    bw.Put(kClear, kMinCodeSize + 1);
    bw.Put(kEnd, kMinCodeSize + 1);
    return bw.Finish();
  }
  // Child table: code * 256 + pixel -> code, valid while its generation matches.
  std::vector<std::uint16_t> child(4096 * 256);
  std::vector<std::uint32_t> generation(4096 * 256, 0);
  std::uint32_t gen = 1;
  int bits = kMinCodeSize + 1, limit = 1 << bits, running = kFirstFree;
  auto emit = [&](int code) {
    bw.Put(code, bits);
    if (running >= limit && code <= kLastCode && bits < 12) limit = 1 << ++bits;
  };
  const std::size_t n = idx.size();
  const std::size_t k = std::min(splits, n > 1 ? n - 1 : 0);
  std::size_t split_no = 0;
  auto split_at = [&] { return (split_no + 1) * n / (k + 1); };
  std::size_t next_split = k > 0 ? split_at() : n;

  emit(kClear);
  int cur = idx[0];
  for (std::size_t p = 1; p < n; ++p) {
    const int c = idx[p];
    const std::size_t key = std::size_t(cur) * 256 + c;
    bool forced = false;
    if (p >= next_split) {
      forced = true;
      ++split_no;
      next_split = split_no < k ? split_at() : n;
      if (next_split <= p) next_split = p + 1;
    }
    if (!forced && generation[key] == gen) {
      cur = child[key];
      continue;
    }
    emit(cur);
    cur = c;
    if (running >= kLastCode) {
      emit(kClear);
      running = kFirstFree;
      bits = kMinCodeSize + 1;
      limit = 1 << bits;
      ++gen;
    } else {
      generation[key] = gen;
      child[key] = std::uint16_t(running++);
    }
  }
  emit(cur);
  emit(kEnd);
  return bw.Finish();
}

std::size_t FramedSize(std::size_t code_bytes, std::size_t extra_blocks) {
  return 1 + code_bytes + (code_bytes + 254) / 255 + extra_blocks + 1;
}

std::optional<std::vector<std::uint8_t>> WriteGifExact(const GifLayout& g, std::size_t target,
                                                       std::string* error) {
  std::vector<std::uint8_t> head;
  for (char c : std::string("GIF89a")) head.push_back(std::uint8_t(c));
  Put16(head, g.width);
  Put16(head, g.height);
  head.push_back(g.packed);
  head.push_back(g.background);
  head.push_back(0);
  head.insert(head.end(), g.palette.begin(), g.palette.end());
  if (g.loop_forever) {
    const std::uint8_t ext[] = {0x21, 0xFF, 0x0B, 'N', 'E',  'T',  'S',  'C',  'A', 'P',
                                'E',  '2',  '.',  '0', 0x03, 0x01, 0x00, 0x00, 0x00};
    head.insert(head.end(), std::begin(ext), std::end(ext));
  }
  auto image_head = [&](std::vector<std::uint8_t>& out, const GifImage& im) {
    out.insert(out.end(),
               {0x21, 0xF9, 0x04, std::uint8_t((g.disposal << 2) | (g.transparent_flag ? 1 : 0))});
    Put16(out, g.delay);
    out.push_back(g.transparent_index);
    out.push_back(0);
    out.push_back(0x2C);
    Put16(out, im.left);
    Put16(out, im.top);
    Put16(out, im.width);
    Put16(out, im.height);
    out.push_back(0);  // no local table, not interlaced
  };

  // Every image but the first is written plainly; the first takes up the slack.
  std::vector<std::uint8_t> rest;
  for (std::size_t i = 1; i < g.images.size(); ++i) {
    image_head(rest, g.images[i]);
    AppendFramed(rest, EncodeLzw(g.images[i].indices, 0), 0);
  }
  const std::size_t fixed = head.size() + 18 + rest.size() + 1 + g.after_trailer.size();
  if (target <= fixed) {
    *error = "the other images alone compress to more than the target";
    return std::nullopt;
  }
  const std::size_t want = target - fixed;
  const auto& first = g.images.front().indices;
  auto framed = [&](std::size_t splits) { return FramedSize(EncodeLzw(first, splits).size(), 0); };
  if (framed(0) > want) {
    *error = "the first image compresses to " + std::to_string(framed(0)) + " bytes, above the " +
             std::to_string(want) + " it may take";
    return std::nullopt;
  }
  std::size_t lo = 0, hi = first.size();
  if (framed(hi) < want) {
    *error = "the first image cannot be made as long as " + std::to_string(want) + " bytes";
    return std::nullopt;
  }
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    (framed(mid) >= want ? hi : lo) = mid;
  }
  // The size grows almost but not exactly monotonically with the split count; look around the
  // crossing for an exact hit and otherwise make up the last bytes with shorter sub-blocks.
  std::size_t best_splits = 0, best_size = framed(0);
  bool exact = false;
  for (std::size_t s = hi > 300 ? hi - 300 : 0; s <= hi + 300 && s <= first.size(); ++s) {
    const std::size_t size = framed(s);
    if (size == want) {
      best_splits = s, best_size = size, exact = true;
      break;
    }
    if (size < want && size > best_size) best_splits = s, best_size = size;
  }
  const auto code = EncodeLzw(first, best_splits);
  const std::size_t extra = exact ? 0 : want - best_size;
  if (!exact && (code.size() + 254) / 255 + extra > code.size()) {
    *error = "no block layout reaches the target";
    return std::nullopt;
  }
  std::vector<std::uint8_t> out = head;
  image_head(out, g.images.front());
  AppendFramed(out, code, extra);
  out.insert(out.end(), rest.begin(), rest.end());
  out.push_back(0x3B);
  out.insert(out.end(), g.after_trailer.begin(), g.after_trailer.end());
  if (out.size() != target) {
    *error = "internal size mismatch: " + std::to_string(out.size());
    return std::nullopt;
  }
  return out;
}

namespace {

// Decodes one image's LZW data at `pos` (the code size byte) into `out`.
bool DecodeImage(const std::vector<std::uint8_t>& f, std::size_t& pos, std::size_t count,
                 std::vector<std::uint8_t>& out) {
  if (pos >= f.size() || f[pos++] != kMinCodeSize) return false;
  std::vector<std::uint8_t> data;
  while (pos < f.size() && f[pos] != 0) {
    const std::size_t n = f[pos++];
    if (pos + n > f.size()) return false;
    data.insert(data.end(), f.begin() + long(pos), f.begin() + long(pos + n));
    pos += n;
  }
  if (pos >= f.size()) return false;
  ++pos;
  std::vector<int> prefix(4096, -1);
  std::vector<std::uint8_t> suffix(4096);
  for (int i = 0; i < kClear; ++i) suffix[i] = std::uint8_t(i);
  int bits = kMinCodeSize + 1, running = kFirstFree, prev = -1;
  std::size_t bitpos = 0;
  std::vector<std::uint8_t> stack;
  out.clear();
  for (;;) {
    if ((bitpos + bits + 7) / 8 > data.size()) return false;
    int code = 0;
    for (int b = 0; b < bits; ++b, ++bitpos) code |= ((data[bitpos / 8] >> (bitpos % 8)) & 1) << b;
    if (code == kClear) {
      bits = kMinCodeSize + 1, running = kFirstFree, prev = -1;
      continue;
    }
    if (code == kEnd) break;
    if (prev < 0) {
      if (code >= kClear) return false;
      out.push_back(std::uint8_t(code));
      prev = code;
      continue;
    }
    if (code > running) return false;
    // A code not yet in the table (running) is the previous string plus its own first pixel.
    int walk = code == running ? prev : code;
    stack.clear();
    while (walk >= kClear) {
      stack.push_back(suffix[walk]);
      walk = prefix[walk];
    }
    stack.push_back(std::uint8_t(walk));
    std::reverse(stack.begin(), stack.end());
    if (code == running) stack.push_back(stack.front());
    if (running <= kLastCode) {
      prefix[running] = prev;
      suffix[running] = stack.front();
      ++running;
      if (running >= (1 << bits) && bits < 12) ++bits;
    }
    out.insert(out.end(), stack.begin(), stack.end());
    prev = code;
  }
  return out.size() == count;
}

}  // namespace

bool CheckGifRoundTrip(const std::vector<std::uint8_t>& f, const GifLayout& g) {
  std::size_t pos = 13 + 768 + (g.loop_forever ? 19 : 0);
  std::vector<std::uint8_t> got;
  for (const GifImage& im : g.images) {
    pos += 8 + 10;
    if (!DecodeImage(f, pos, im.indices.size(), got) || got != im.indices) return false;
  }
  return pos < f.size() && f[pos] == 0x3B;
}

}  // namespace mediagen
