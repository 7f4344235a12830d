// The format detector reads at most six bytes and agrees with itself on any longer prefix.

#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto length = static_cast<std::int32_t>(size);
  const stage::PictureFormat format = stage::DetectPictureFormat(data, length);
  if (size < 6) picture_fuzz::Require(format == stage::PictureFormat::None);
  if (size > 6) picture_fuzz::Require(stage::DetectPictureFormat(data, 6) == format);
  picture_fuzz::CheckDecode(data, size);
  return 0;
}
