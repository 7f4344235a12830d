#pragma once
// Texts stay GBK bytes inside the program; these convert where glyphs are made or where a
// text leaves for a terminal or a file.

#include <string>
#include <string_view>

namespace stage {

// Undecodable bytes become U+FFFD.
std::u32string GbkToUnicode(std::string_view gbk);
std::string GbkToUtf8(std::string_view gbk);
// Characters GBK lacks become '?'.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace stage
