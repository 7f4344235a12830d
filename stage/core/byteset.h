#pragma once
// Raw bytes as they travel between the show and the stage: a signed 32-bit dimension count
// (always 1), a signed 32-bit length N, then N bytes and nothing after. A length of 0 or less
// is empty.

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace stage {

// A view of a byte set whose block (header and bytes) lives elsewhere, e.g. embedded media.
class ByteSetView {
 public:
  ByteSetView() = default;
  // `block` points at the 8-byte header; nullptr is the empty set.
  explicit ByteSetView(const std::uint8_t* block) : block_(block) {}

  std::int32_t length() const {
    if (block_ == nullptr) return 0;
    std::int32_t n;
    std::memcpy(&n, block_ + 4, 4);
    return n;
  }
  bool empty() const { return length() <= 0; }
  const std::uint8_t* data() const { return block_ == nullptr ? nullptr : block_ + 8; }
  std::span<const std::uint8_t> bytes() const {
    return empty() ? std::span<const std::uint8_t>() : std::span(data(), std::size_t(length()));
  }
  const std::uint8_t* block() const { return block_; }

 private:
  const std::uint8_t* block_ = nullptr;
};

// An owned byte set, laid out exactly like the embedded ones.
class ByteSet {
 public:
  ByteSet() = default;
  explicit ByteSet(std::span<const std::uint8_t> bytes) : block_(8 + bytes.size()) {
    const std::int32_t dims = 1;
    const auto n = static_cast<std::int32_t>(bytes.size());
    std::memcpy(block_.data(), &dims, 4);
    std::memcpy(block_.data() + 4, &n, 4);
    if (!bytes.empty()) std::memcpy(block_.data() + 8, bytes.data(), bytes.size());
  }
  explicit ByteSet(ByteSetView view) : ByteSet(view.bytes()) {}

  ByteSetView view() const { return ByteSetView(block_.empty() ? nullptr : block_.data()); }
  std::int32_t length() const { return view().length(); }
  bool empty() const { return view().empty(); }
  const std::uint8_t* data() const { return view().data(); }
  std::span<const std::uint8_t> bytes() const { return view().bytes(); }

 private:
  std::vector<std::uint8_t> block_;
};

}  // namespace stage
