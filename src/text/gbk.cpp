#include "text/gbk.h"

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#endif

namespace qm {

namespace {

// ---- UTF-8 <-> UTF-16, shared by both platforms -------------------------------

constexpr char16_t kReplacement = 0xFFFD;  // has no GBK form, so it ends up as "?"

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  const auto* d = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  for (size_t i = 0; i < n;) {
    const unsigned char c = d[i];
    if (c < 0x80) {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4, cp = c & 0x07, min = 0x10000;
    }
    size_t k = 1;
    for (; len != 0 && k < len && i + k < n && (d[i + k] & 0xC0) == 0x80; ++k)
      cp = (cp << 6) | (d[i + k] & 0x3F);
    if (len == 0 || k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      // One replacement for the longest bad prefix, as the Unicode guidance has it.
      out.push_back(kReplacement);
      i += k;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 3);
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

#ifndef _WIN32

// ---- What code page 936 maps beyond glibc's table -------------------------------
// Windows maps the user-defined areas in order onto the private-use area from
// U+E000 on: AAA1-AFFE (6 rows of 94) to U+E000-U+E233, F8A1-FEFE (7 rows of 94) to
// U+E234-U+E4C5, and A140-A7A0 (7 rows of 96: trail bytes 40-7E and 80-A0) to
// U+E4C6-U+E765. The 255 codes that GBK leaves unassigned in its symbol rows follow
// in code order from U+E766 to U+E864. The single byte 0xFF is U+F8F5.

constexpr char16_t kPuaFirst = 0xE000;
constexpr char16_t kPuaAfterRowsAA = 0xE000 + 6 * 94;           // U+E234
constexpr char16_t kPuaAfterRowsF8 = kPuaAfterRowsAA + 7 * 94;  // U+E4C6
constexpr char16_t kPuaUnassigned = kPuaAfterRowsF8 + 7 * 96;   // U+E766
constexpr char16_t kByteFF = 0xF8F5;

// The unassigned codes, as runs of consecutive trail bytes under one lead byte.
struct CodeRun {
  uint16_t first, last;
};
constexpr CodeRun kUnassigned[] = {
    {0xA2AB, 0xA2B0}, {0xA2E3, 0xA2E4}, {0xA2EF, 0xA2F0}, {0xA2FD, 0xA2FE}, {0xA4F4, 0xA4FE},
    {0xA5F7, 0xA5FE}, {0xA6B9, 0xA6C0}, {0xA6D9, 0xA6DF}, {0xA6EC, 0xA6ED}, {0xA6F3, 0xA6F3},
    {0xA6F6, 0xA6FE}, {0xA7C2, 0xA7D0}, {0xA7F2, 0xA7FE}, {0xA896, 0xA8A0}, {0xA8BC, 0xA8BC},
    {0xA8BF, 0xA8BF}, {0xA8C1, 0xA8C4}, {0xA8EA, 0xA8FE}, {0xA958, 0xA958}, {0xA95B, 0xA95B},
    {0xA95D, 0xA95F}, {0xA989, 0xA995}, {0xA997, 0xA9A3}, {0xA9F0, 0xA9FE}, {0xD7FA, 0xD7FE},
    {0xFE50, 0xFE7E}, {0xFE80, 0xFEA0},
};
constexpr char16_t kPuaEnd = [] {
  int n = kPuaUnassigned;
  for (const CodeRun& r : kUnassigned) n += r.last - r.first + 1;
  return static_cast<char16_t>(n);
}();
static_assert(kPuaEnd == 0xE865);

// The private-use unit of a two-byte code that glibc does not map, or 0.
char16_t codeToPua(unsigned char lead, unsigned char trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1 && trail <= 0xFE)
    return static_cast<char16_t>(kPuaFirst + (lead - 0xAA) * 94 + (trail - 0xA1));
  if (lead >= 0xF8 && lead <= 0xFE && trail >= 0xA1 && trail <= 0xFE)
    return static_cast<char16_t>(kPuaAfterRowsAA + (lead - 0xF8) * 94 + (trail - 0xA1));
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F)
    return static_cast<char16_t>(kPuaAfterRowsF8 + (lead - 0xA1) * 96 + (trail - 0x40) -
                                 (trail > 0x7F ? 1 : 0));
  if ((lead < 0xA2 || lead > 0xA9) && lead != 0xD7 && lead != 0xFE) return 0;
  const int code = lead << 8 | trail;
  int unit = kPuaUnassigned;
  for (const CodeRun& r : kUnassigned) {
    if (code < r.first) return 0;
    if (code <= r.last) return static_cast<char16_t>(unit + (code - r.first));
    unit += r.last - r.first + 1;
  }
  return 0;
}

// The two-byte code of a private-use unit; false when it has none.
bool puaToCode(char16_t u, unsigned char& lead, unsigned char& trail) {
  if (u < kPuaFirst || u >= kPuaEnd) return false;
  int code = 0;
  if (u < kPuaAfterRowsAA) {
    const int k = u - kPuaFirst;
    code = (0xAA + k / 94) << 8 | (0xA1 + k % 94);
  } else if (u < kPuaAfterRowsF8) {
    const int k = u - kPuaAfterRowsAA;
    code = (0xF8 + k / 94) << 8 | (0xA1 + k % 94);
  } else if (u < kPuaUnassigned) {
    const int k = u - kPuaAfterRowsF8;
    int t = 0x40 + k % 96;
    if (t >= 0x7F) ++t;  // 0x7F is no trail byte
    code = (0xA1 + k / 96) << 8 | t;
  } else {
    int k = u - kPuaUnassigned;
    for (const CodeRun& r : kUnassigned) {
      const int n = r.last - r.first + 1;
      if (k < n) {
        code = r.first + k;
        break;
      }
      k -= n;
    }
  }
  lead = static_cast<unsigned char>(code >> 8);
  trail = static_cast<unsigned char>(code & 0xFF);
  return true;
}

constexpr const char* kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// iconv descriptors are not safe to share between threads: each thread opens its
// own pair once and keeps it.
struct Converters {
  iconv_t fromGbk = iconv_open(kUtf16Native, "CP936");
  iconv_t toGbk = iconv_open("CP936", kUtf16Native);
  Converters() = default;
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;
  ~Converters() {
    if (fromGbk != reinterpret_cast<iconv_t>(-1)) iconv_close(fromGbk);
    if (toGbk != reinterpret_cast<iconv_t>(-1)) iconv_close(toGbk);
  }
};

Converters& converters() {
  thread_local Converters c;
  return c;
}

bool isTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Converts one run of GBK bytes through iconv, appending UTF-16. The run holds
// single bytes below 0x80 and pairs of a lead byte and a trail byte; where iconv
// stops at a pair that names no character, the pair becomes "?" and the run goes on.
void gbkRunToUtf16(iconv_t cd, const char* in, size_t len, std::u16string& out) {
  if (len == 0) return;
  const size_t base = out.size();
  out.resize(base + len);  // never more units than bytes
  char* outPtr = reinterpret_cast<char*>(out.data() + base);
  size_t outLeft = len * sizeof(char16_t);
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = len;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      // No converter at all: keep ASCII, the rest becomes "?".
      const auto c = static_cast<unsigned char>(*inPtr);
      size_t step = 1;
      if (c >= 0x80 && inLeft > 1 && isTrail(static_cast<unsigned char>(inPtr[1]))) step = 2;
      const char16_t u = c < 0x80 ? c : u'?';
      std::memcpy(outPtr, &u, sizeof u);
      outPtr += sizeof u, outLeft -= sizeof u, inPtr += step, inLeft -= step;
      continue;
    }
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) break;  // cannot happen: one unit per byte at most
    const size_t step = static_cast<unsigned char>(*inPtr) >= 0x80 && inLeft > 1 ? 2 : 1;
    const char16_t q = u'?';
    std::memcpy(outPtr, &q, sizeof q);
    outPtr += sizeof q, outLeft -= sizeof q, inPtr += step, inLeft -= step;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(base + (len * sizeof(char16_t) - outLeft) / sizeof(char16_t));
}

// Converts one run of UTF-16 through iconv, appending GBK. A unit that has no GBK
// form (iconv reports it instead of guessing) becomes "?", and so does each unit of
// a surrogate pair, as code page 936 has it.
void utf16RunToGbk(iconv_t cd, const char16_t* in, size_t len, std::string& out) {
  if (len == 0) return;
  const size_t base = out.size();
  out.resize(base + len * 2 + 4);  // at most two bytes a unit
  char* outPtr = out.data() + base;
  size_t outLeft = len * 2 + 4;
  char* inPtr = reinterpret_cast<char*>(const_cast<char16_t*>(in));
  size_t inLeft = len * sizeof(char16_t);
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    char16_t u;
    std::memcpy(&u, inPtr, sizeof u);
    size_t r = static_cast<size_t>(-1);
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) break;
      std::memcpy(&u, inPtr, sizeof u);
    } else if (u < 0x80) {
      *outPtr++ = static_cast<char>(u), --outLeft, inPtr += 2, inLeft -= 2;
      continue;
    }
    *outPtr++ = '?', --outLeft, inPtr += 2, inLeft -= 2;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(static_cast<size_t>(outPtr - out.data()));
}

#endif  // !_WIN32

}  // namespace

#ifdef _WIN32

std::u16string gbkToUtf16(std::string_view gbk) {
  if (gbk.empty()) return {};
  const int inLen = static_cast<int>(gbk.size());
  const int n = MultiByteToWideChar(936, 0, gbk.data(), inLen, nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(936, 0, gbk.data(), inLen, reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string utf16ToGbk(std::u16string_view utf16) {
  if (utf16.empty()) return {};
  const auto* in = reinterpret_cast<const wchar_t*>(utf16.data());
  const int inLen = static_cast<int>(utf16.size());
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, in, inLen, nullptr, 0, "?", &usedDefault);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, in, inLen, out.data(), n, "?", &usedDefault);
  return out;
}

#else

std::u16string gbkToUtf16(std::string_view gbk) {
  Converters& cv = converters();
  std::u16string out;
  out.reserve(gbk.size());
  const auto* d = reinterpret_cast<const unsigned char*>(gbk.data());
  const size_t n = gbk.size();
  // A lead byte takes the byte after it, whatever it is, as code page 936 does.
  // What iconv does not know as code page 936 does is taken out of the runs handed
  // to it: 0x80 (the euro sign), 0xFF, the private-use codes, a lead byte with no
  // trail byte after it.
  size_t runStart = 0;
  for (size_t i = 0; i < n;) {
    const unsigned char c = d[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    char16_t special = 0;
    size_t len = 1;
    if (c == 0x80) {
      special = 0x20AC;
    } else if (c == 0xFF) {
      special = kByteFF;
    } else if (i + 1 == n || d[i + 1] == 0) {
      special = u'?';  // a lead byte at the end, or before a zero byte
    } else {
      len = 2;
      special = codeToPua(c, d[i + 1]);
      if (special == 0 && !isTrail(d[i + 1])) special = u'?';
    }
    if (special != 0) {
      gbkRunToUtf16(cv.fromGbk, gbk.data() + runStart, i - runStart, out);
      out.push_back(special);
      runStart = i + len;
    }
    i += len;
  }
  gbkRunToUtf16(cv.fromGbk, gbk.data() + runStart, n - runStart, out);
  return out;
}

std::string utf16ToGbk(std::u16string_view utf16) {
  Converters& cv = converters();
  std::string out;
  out.reserve(utf16.size() * 2);
  size_t runStart = 0;
  const size_t n = utf16.size();
  for (size_t i = 0; i < n; ++i) {
    const char16_t u = utf16[i];
    if (u < 0x80) continue;
    unsigned char lead = 0;
    unsigned char trail = 0;
    const bool single = u == 0x20AC || u == kByteFF;
    if (!single && !puaToCode(u, lead, trail)) continue;
    utf16RunToGbk(cv.toGbk, utf16.data() + runStart, i - runStart, out);
    if (single) {
      out.push_back(u == 0x20AC ? '\x80' : '\xFF');
    } else {
      out.push_back(static_cast<char>(lead));
      out.push_back(static_cast<char>(trail));
    }
    runStart = i + 1;
  }
  utf16RunToGbk(cv.toGbk, utf16.data() + runStart, n - runStart, out);
  return out;
}

#endif

std::string gbkToUtf8(std::string_view gbk) { return utf16ToUtf8(gbkToUtf16(gbk)); }

std::string utf8ToGbk(std::string_view utf8) { return utf16ToGbk(utf8ToUtf16(utf8)); }

}  // namespace qm
