#include "stage/core/text.h"

#include <cerrno>
#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace stage {
namespace {

#ifndef _WIN32
// Converts with iconv, replacing what does not convert with `replacement` (in the target
// encoding) and skipping one source byte.
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  std::vector<char> buffer(4 * in.size() + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    size_t dst_left = buffer.size();
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), dst - buffer.data());
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: an undecodable or cut-off sequence.
      out.append(replacement);
      ++src;
      --src_left;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
  }
  iconv_close(cd);
  return out;
}
#endif

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
#ifdef _WIN32
  std::u32string u = GbkToUnicode(gbk);
  std::string out;
  for (char32_t c : u) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
#else
  return Convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD");
#endif
}

std::u32string GbkToUnicode(std::string_view gbk) {
#ifdef _WIN32
  std::u32string out;
  if (gbk.empty()) return out;
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), wide.data(), n);
  for (wchar_t c : wide) out += static_cast<char32_t>(c);
  return out;
#else
  std::string utf32 = Convert("UTF-32LE", "GBK", gbk, std::string_view("\xFD\xFF\x00\x00", 4));
  std::u32string out(utf32.size() / 4, U'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char32_t>(std::uint8_t(utf32[4 * i]) |
                                   std::uint8_t(utf32[4 * i + 1]) << 8 |
                                   std::uint8_t(utf32[4 * i + 2]) << 16 |
                                   std::uint32_t(std::uint8_t(utf32[4 * i + 3])) << 24);
  }
  return out;
#endif
}

std::string Utf8ToGbk(std::string_view utf8) {
#ifdef _WIN32
  if (utf8.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  int m = WideCharToMultiByte(936, 0, wide.data(), n, nullptr, 0, "?", nullptr);
  std::string out(m, '\0');
  WideCharToMultiByte(936, 0, wide.data(), n, out.data(), m, "?", nullptr);
  return out;
#else
  return Convert("GBK", "UTF-8", utf8, "?");
#endif
}

}  // namespace stage
