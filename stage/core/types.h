#pragma once
// The values that travel between the show and the stage.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "stage/core/byteset.h"

namespace stage {

// Kind codes of the control kinds; a ControlRef argument travels with the kind of its variable.
enum class Kind : std::uint32_t {
  Window = 0x00010001,
  DrawPanel = 0x00010008,
  Label = 0x0001000A,
  Timer = 0x00010020,
  PicBtn = 0x0001002D,
};

// Control identifier of a window's own record.
inline constexpr std::uint32_t kWindowItself = 0x06010000;

// One control: the identifier of its window, then its own.
struct ControlRef {
  std::uint32_t window = 0;
  std::uint32_t control = 0;
  friend bool operator==(const ControlRef&, const ControlRef&) = default;
};

// Colours are 0x00BBGGRR; DefaultColor stands for the system's face colour as a background and
// for "no box" as a text background.
using Color = std::int32_t;
inline constexpr Color kDefaultColor = static_cast<Color>(0xFF000000u);

// Texts are 8-bit GBK bytes, as the program stores them.
using Text = std::string;

// A font as the definition stores it: height, width, escapement, orientation, weight (32-bit
// each), italic, underline, strike-out, character set, output precision, clipping precision,
// quality, pitch and family (a byte each), then a 32-byte face name (GBK, NUL-padded).
struct FontDescription {
  std::array<std::uint8_t, 60> bytes{};

  std::int32_t height() const { return Int(0); }
  std::int32_t width() const { return Int(4); }
  std::int32_t escapement() const { return Int(8); }
  std::int32_t orientation() const { return Int(12); }
  std::int32_t weight() const { return Int(16); }
  bool italic() const { return bytes[20] != 0; }
  bool underline() const { return bytes[21] != 0; }
  bool strike_out() const { return bytes[22] != 0; }
  std::uint8_t char_set() const { return bytes[23]; }
  std::uint8_t out_precision() const { return bytes[24]; }
  std::uint8_t clip_precision() const { return bytes[25]; }
  std::uint8_t quality() const { return bytes[26]; }
  std::uint8_t pitch_and_family() const { return bytes[27]; }
  Text face_name() const;

  friend bool operator==(const FontDescription&, const FontDescription&) = default;

 private:
  std::int32_t Int(int at) const {
    return static_cast<std::int32_t>(std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                                     std::uint32_t(bytes[at + 2]) << 16 |
                                     std::uint32_t(bytes[at + 3]) << 24);
  }
};

// Builds a font description field by field; the fields past the face name are left at zero.
FontDescription MakeFont(const Text& face_name, std::int32_t height, std::int32_t weight,
                         bool italic = false, bool underline = false, bool strike_out = false,
                         std::uint8_t char_set = 0, std::uint8_t out_precision = 0,
                         std::uint8_t clip_precision = 0, std::uint8_t quality = 0,
                         std::uint8_t pitch_and_family = 0);

// A property value: integers, booleans (0 or 1) and colours are Int; texts, pictures (the bytes
// of a picture file) and fonts have their own forms. None is "no value".
using PropertyValue = std::variant<std::monostate, std::int32_t, Text, ByteSet, FontDescription>;

inline std::int32_t AsInt(const PropertyValue& v) {
  if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
  return 0;
}
inline Text AsText(const PropertyValue& v) {
  if (const auto* t = std::get_if<Text>(&v)) return *t;
  return {};
}

// Common property numbers; kind-specific ones start at 8.
enum Property : int {
  kLeft = 0,
  kTop = 1,
  kWidth = 2,
  kHeight = 3,
  kTag = 4,
  kVisible = 5,
  kDisabled = 6,
  kCursor = 7,
};

// An omitted argument, distinct from every value.
using Opt = std::optional<std::int32_t>;
inline constexpr std::nullopt_t kOmitted = std::nullopt;

}  // namespace stage
