#include "media/catalogue.h"

#include <cstring>

namespace media {

std::string NameOf(stage::ByteSetView bytes) {
  if (bytes.block() == nullptr) return {};
  for (const Item& item : Items())
    if (item.view.block() == bytes.block()) return std::string(item.name);
  return NameOf(bytes.bytes());
}

std::string NameOf(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {};
  for (const Item& item : Items()) {
    if (item.view.data() == bytes.data() && std::size_t(item.view.length()) == bytes.size())
      return std::string(item.name);
  }
  for (const Item& item : Items()) {
    if (std::size_t(item.view.length()) != bytes.size()) continue;
    if (std::memcmp(item.view.data(), bytes.data(), bytes.size()) == 0)
      return std::string(item.name);
    return {};  // lengths are unique, so no other item can match
  }
  return {};
}

}  // namespace media
