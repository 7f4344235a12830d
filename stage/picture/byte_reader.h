#pragma once
// A bounded little-endian reader over a byte range, shared by every decoder. A read past the
// end yields zeros and marks the reader failed; a decoder checks failed() once at the points
// where a short file must be refused, instead of testing every read.

#include <cstddef>
#include <cstdint>

namespace stage::picture_detail {

class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return size_ - pos_; }
  bool failed() const { return failed_; }
  const std::uint8_t* data() const { return data_; }

  std::uint8_t U8() {
    if (pos_ >= size_) return Fail();
    return data_[pos_++];
  }
  std::uint16_t U16() {
    if (remaining() < 2) return Fail();
    const std::uint16_t v = std::uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    if (remaining() < 4) return Fail();
    const std::uint32_t v = std::uint32_t(data_[pos_]) | std::uint32_t(data_[pos_ + 1]) << 8 |
                            std::uint32_t(data_[pos_ + 2]) << 16 |
                            std::uint32_t(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  std::int16_t I16() { return std::int16_t(U16()); }
  std::int32_t I32() { return std::int32_t(U32()); }

  // Moves forward by n bytes; fails (and stays put) if fewer remain.
  bool Skip(std::size_t n) {
    if (remaining() < n) {
      Fail();
      return false;
    }
    pos_ += n;
    return true;
  }
  // Moves to an absolute position; fails (and stays put) past the end.
  bool Seek(std::size_t position) {
    if (position > size_) {
      Fail();
      return false;
    }
    pos_ = position;
    return true;
  }
  // The next n bytes, or nullptr (and failed) if fewer remain.
  const std::uint8_t* Take(std::size_t n) {
    if (remaining() < n) {
      Fail();
      return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  // The byte at an absolute position, without moving; 0 and failed past the end.
  std::uint8_t At(std::size_t position) {
    if (position >= size_) return Fail();
    return data_[position];
  }

 private:
  std::uint8_t Fail() {
    failed_ = true;
    return 0;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace stage::picture_detail
