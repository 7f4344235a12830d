// Decodes arbitrary bytes; the seed corpus under tests/corpus/gif/ holds gif files, so most
// inputs keep that format's signature.

#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  picture_fuzz::CheckDecode(data, size);
  return 0;
}
