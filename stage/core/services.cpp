// Random numbers, integer text and the screen size.

#include <cstdio>
#include <string>

#include "stage/core/internal.h"

namespace stage {
namespace {

// Each thread draws from its own generator, which starts at 1.
thread_local std::uint32_t t_generator = 1;
std::atomic<std::uint32_t> g_seed_salt{0};

std::uint32_t Step() {
  t_generator = t_generator * 214013u + 2531011u;
  return (t_generator >> 16) & 0x7FFF;
}

}  // namespace

void SetRandomSeed(Opt seed) {
  internal::ParkIfEnding();
  if (TraceEnabled()) TraceLine("SetRandomSeed", seed ? std::to_string(*seed) : "-");
  if (seed) {
    t_generator = static_cast<std::uint32_t>(*seed);
    return;
  }
  const auto ticks = static_cast<std::uint32_t>(NowMs());
  const std::uint32_t s = ticks + g_seed_salt.load();
  g_seed_salt += (s & 255u) + 100u;
  t_generator = s;
}

std::int32_t RandomInt(Opt min, Opt max) {
  internal::ParkIfEnding();
  std::int32_t a = min.value_or(0), b = max.value_or(2147483647);
  if (a < 0) a = 0;
  if (b < 0) b = 0;
  const std::int32_t lo = std::min(a, b), hi = std::max(a, b);
  if (lo == hi) return lo;
  const std::int64_t range = std::min<std::int64_t>(std::int64_t(hi) - lo, 2147483646);
  return static_cast<std::int32_t>(lo + std::int64_t(Step()) % (range + 1));
}

Text IntToText(std::int32_t value) { return std::to_string(value); }

std::int32_t ScreenWidth() {
  internal::ParkIfEnding();
  return internal::State().backend->ScreenWidth();
}

std::int32_t ScreenHeight() {
  internal::ParkIfEnding();
  return internal::State().backend->ScreenHeight();
}

Text FontDescription::face_name() const {
  std::size_t n = 0;
  while (n < 32 && bytes[28 + n] != 0) ++n;
  return Text(reinterpret_cast<const char*>(bytes.data() + 28), n);
}

FontDescription MakeFont(const Text& face_name, std::int32_t height, std::int32_t weight,
                         bool italic, bool underline, bool strike_out, std::uint8_t char_set,
                         std::uint8_t out_precision, std::uint8_t clip_precision,
                         std::uint8_t quality, std::uint8_t pitch_and_family) {
  FontDescription f;
  auto put = [&f](int at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) f.bytes[at + i] = static_cast<std::uint8_t>(std::uint32_t(v) >> (8 * i));
  };
  put(0, height);
  put(16, weight);
  f.bytes[20] = italic;
  f.bytes[21] = underline;
  f.bytes[22] = strike_out;
  f.bytes[23] = char_set;
  f.bytes[24] = out_precision;
  f.bytes[25] = clip_precision;
  f.bytes[26] = quality;
  f.bytes[27] = pitch_and_family;
  for (std::size_t i = 0; i < face_name.size() && i < 31; ++i) f.bytes[28 + i] = face_name[i];
  return f;
}

}  // namespace stage
