#pragma once

// The one place that knows the GBK encoding (code page 936). Conversions never fail
// as a whole: an invalid or incomplete GBK sequence becomes "?" and the rest converts;
// a unit without a GBK form becomes "?" (no best-fit look-alikes). The user-defined
// areas map to and from the private-use area, as code page 936 does on Windows.

#include <string>
#include <string_view>

namespace qm {

std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view utf16);
std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);

}  // namespace qm

// A system text written once in UTF-8 source, converted to GBK on first use and kept.
#define QM_GBK(utf8)                                             \
  ([]() -> const std::string& {                                  \
    static const std::string converted_ = ::qm::utf8ToGbk(utf8); \
    return converted_;                                           \
  }())
