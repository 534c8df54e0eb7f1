#pragma once

// Slow, plain versions of the text operations, written step by step from their
// rules: one byte position at a time, no skipping, no cleverness. The differential
// fuzzer holds the real ones against them.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm::reference {

using Str = std::string;

inline unsigned char at(const Str& t, size_t i) { return static_cast<unsigned char>(t[i]); }

inline size_t stepLength(const Str& t, size_t i) { return at(t, i) >= 0x80 ? 2 : 1; }

inline bool sameByte(unsigned char a, unsigned char b, bool ignoreCase) {
  if (a == b) return true;
  if (!ignoreCase) return false;
  auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; };
  return lower(a) == lower(b);
}

inline bool bytesEqualAt(const Str& t, size_t i, const Str& s, bool ignoreCase) {
  if (i + s.size() > t.size()) return false;
  for (size_t k = 0; k < s.size(); ++k)
    if (!sameByte(at(t, i + k), static_cast<unsigned char>(s[k]), ignoreCase)) return false;
  return true;
}

// An empty sought text finds nothing.
inline int64_t findText(const Str& t, const Str& s, std::optional<int64_t> start, bool ignoreCase) {
  const int64_t L = static_cast<int64_t>(t.size());
  int64_t b = 0;
  if (start) b = *start - 1 < 0 ? 0 : *start - 1;
  if (b >= L) return -1;
  if (s.empty()) return -1;
  const int64_t m = static_cast<int64_t>(s.size());
  int64_t i = b;
  while (L - i >= m) {
    if (bytesEqualAt(t, static_cast<size_t>(i), s, ignoreCase)) return i + 1;
    i += static_cast<int64_t>(stepLength(t, static_cast<size_t>(i)));
  }
  return -1;
}

inline int64_t findLastText(const Str& t, const Str& s, std::optional<int64_t> start, bool ignoreCase) {
  const int64_t L = static_cast<int64_t>(t.size());
  int64_t w = L;
  if (start) {
    const int64_t b = *start - 1 < 0 ? 0 : *start - 1;
    w = std::min(b, L);
  }
  if (w == 0 || s.empty()) return -1;
  const Str window = t.substr(0, static_cast<size_t>(w));
  const int64_t m = static_cast<int64_t>(s.size());
  int64_t last = -1;
  int64_t i = 0;
  while (w - i >= m) {
    if (bytesEqualAt(window, static_cast<size_t>(i), s, ignoreCase)) last = i + 1;
    i += static_cast<int64_t>(stepLength(window, static_cast<size_t>(i)));
  }
  return last;
}

inline Str leftText(const Str& t, int64_t n) {
  if (n <= 0) return {};
  Str out;
  for (int64_t i = 0; i < n && i < static_cast<int64_t>(t.size()); ++i) out += t[static_cast<size_t>(i)];
  return out;
}

inline Str rightText(const Str& t, int64_t n) {
  if (n <= 0) return {};
  Str out;
  const int64_t L = static_cast<int64_t>(t.size());
  for (int64_t i = std::max<int64_t>(0, L - n); i < L; ++i) out += t[static_cast<size_t>(i)];
  return out;
}

inline Str midText(const Str& t, int64_t s, int64_t n) {
  const int64_t L = static_cast<int64_t>(t.size());
  if (s < 1 || s > L || n <= 0) return {};
  Str out;
  for (int64_t p = s; p <= L && p - s < n; ++p) out += t[static_cast<size_t>(p - 1)];
  return out;
}

inline Str replaceText(const Str& t, const Str& oldText, const Str& newText, int64_t start,
                       std::optional<int64_t> count, bool ignoreCase) {
  const size_t L = t.size();
  const size_t b = start < 1 ? 0 : static_cast<size_t>(start - 1);
  if (t.empty() || oldText.empty() || b >= L || (count && *count == 0)) return t;
  int64_t remaining = count ? *count : 0;
  Str out = t.substr(0, b);
  size_t i = b;
  for (;;) {
    if (L - i < oldText.size()) {
      out += t.substr(i);
      break;
    }
    if (bytesEqualAt(t, i, oldText, ignoreCase)) {
      out += newText;
      i += oldText.size();
      if (count && --remaining == 0) {
        out += t.substr(i);
        break;
      }
      continue;
    }
    const size_t n = stepLength(t, i);
    out += t.substr(i, n);
    i += n;
    if (i >= L) break;
  }
  return out;
}

inline std::vector<Str> splitText(const Str& t, const Str& sep) {
  std::vector<Str> pieces;
  if (t.empty()) return pieces;
  if (sep.empty()) return {t};
  size_t pieceStart = 0;
  size_t i = 0;
  while (i < t.size()) {
    if (bytesEqualAt(t, i, sep, false)) {
      pieces.push_back(t.substr(pieceStart, i - pieceStart));
      i += sep.size();
      pieceStart = i;
      continue;
    }
    i += stepLength(t, i);
  }
  if (pieceStart < t.size()) pieces.push_back(t.substr(pieceStart));
  return pieces;
}

// Spaces are whole characters: a space byte or the pair A1 A1 where a character
// begins; a lone lead byte at the end is a character of its own.
inline Str trimSpaces(const Str& t) {
  struct Char {
    size_t pos, len;
  };
  std::vector<Char> chars;
  for (size_t i = 0; i < t.size();) {
    const size_t len = std::min(stepLength(t, i), t.size() - i);
    chars.push_back({i, len});
    i += len;
  }
  auto isSpace = [&](const Char& c) {
    if (c.len == 1) return t[c.pos] == ' ';
    return at(t, c.pos) == 0xA1 && at(t, c.pos + 1) == 0xA1;
  };
  size_t first = 0;
  size_t last = chars.size();
  while (first < last && isSpace(chars[first])) ++first;
  while (last > first && isSpace(chars[last - 1])) --last;
  Str out;
  for (size_t k = first; k < last; ++k) out += t.substr(chars[k].pos, chars[k].len);
  return out;
}

inline Str changeCase(const Str& t, bool upper) {
  Str out;
  for (size_t i = 0; i < t.size();) {
    const size_t len = std::min(stepLength(t, i), t.size() - i);
    if (len == 1) {
      char c = t[i];
      if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
      if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      out += c;
    } else {
      out += t.substr(i, len);
    }
    i += len;
  }
  return out;
}

inline Str mapFullWidth(const Str& t) {
  Str out;
  for (size_t i = 0; i < t.size();) {
    if (at(t, i) < 0x80 || i + 1 >= t.size()) {
      out += t[i];
      i += 1;
      continue;
    }
    const unsigned char lead = at(t, i);
    const unsigned char trail = at(t, i + 1);
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
      out += static_cast<char>(trail - 0x80);
    else if (lead == 0xA1 && trail == 0xA1)
      out += ' ';
    else if (lead == 0xA1 && trail == 0xAB)
      out += '~';
    else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
      out += '*';
    else
      out += t.substr(i, 2);
    i += 2;
  }
  return out;
}

inline bool isWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Beyond the 32-bit range the reading saturates.
inline int32_t textToInteger(const Str& text) {
  const Str m = mapFullWidth(text);
  size_t i = 0;
  while (i < m.size() && isWhite(m[i])) ++i;
  bool negative = false;
  if (i < m.size() && (m[i] == '+' || m[i] == '-')) negative = m[i++] == '-';
  long double value = 0;
  for (; i < m.size() && isDigit(m[i]); ++i) value = std::min<long double>(value * 10 + (m[i] - '0'), 1e12L);
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// The number part is found by its grammar; strtod (in the C locale, where the
// fuzzer runs) then gives its value.
inline double textToNumber(const Str& text) {
  const Str m = mapFullWidth(text);
  size_t i = 0;
  while (i < m.size() && isWhite(m[i])) ++i;
  const size_t begin = i;
  if (i < m.size() && (m[i] == '+' || m[i] == '-')) ++i;
  size_t digits = 0;
  while (i < m.size() && isDigit(m[i])) ++i, ++digits;
  if (i < m.size() && m[i] == '.') {
    size_t j = i + 1;
    size_t fraction = 0;
    while (j < m.size() && isDigit(m[j])) ++j, ++fraction;
    if (digits + fraction > 0) i = j;
    digits += fraction;
  }
  if (digits == 0) return 0.0;
  if (i < m.size() && (m[i] == 'e' || m[i] == 'E')) {
    size_t j = i + 1;
    if (j < m.size() && (m[j] == '+' || m[j] == '-')) ++j;
    if (j < m.size() && isDigit(m[j])) {
      while (j < m.size() && isDigit(m[j])) ++j;
      i = j;
    }
  }
  const Str number = m.substr(begin, i - begin);
  return std::strtod(number.c_str(), nullptr);
}

inline int64_t hexValue(const Str& t) {
  const Str digits = "0123456789ABCDEF";
  uint64_t value = 0;
  for (char ch : t) {
    char c = ch;
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
    const size_t d = digits.find(c);
    const int64_t digit = d == Str::npos ? -2 : static_cast<int64_t>(d);
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return static_cast<int64_t>(value);
}

inline Str textBefore(const Str& t, const Str& marker) {
  const int64_t p = findText(t, marker, std::nullopt, false);
  if (p == -1) return {};
  return leftText(t, p - 1);
}

inline Str textAfterLast(const Str& t, const Str& marker) {
  const int64_t p = findLastText(t, marker, std::nullopt, false);
  if (p == -1) return {};
  const int64_t L = static_cast<int64_t>(t.size());
  return rightText(t, L - p - static_cast<int64_t>(marker.size()) + 1);
}

inline Str textBetween(const Str& t, const Str& left, const Str& right) {
  const Str quoteWord = "#\xD2\xFD\xBA\xC5";  // "#引号" in GBK
  const Str l = replaceText(left, quoteWord, "\"", 1, std::nullopt, false);
  const Str r = replaceText(right, quoteWord, "\"", 1, std::nullopt, false);
  int64_t c = findText(t, l, std::nullopt, false);
  if (c != -1) c = c + static_cast<int64_t>(l.size());
  const int64_t d = findText(t, r, c, false);
  if (c == -1 || d == -1) return {};
  return midText(t, c, d - c);
}

// Empty markers give an empty list.
inline int64_t allTextsBetween(const Str& t, const Str& left, const Str& right, std::vector<Str>& list,
                               const std::function<void()>& handleEvents) {
  list.clear();
  if (left.empty() || right.empty()) return 0;
  int64_t pos = 1;
  for (;;) {
    const int64_t f = findText(t, left, pos, true);
    if (f == -1) break;
    const int64_t inner = f + static_cast<int64_t>(left.size());
    const int64_t g = findText(t, right, inner, true);
    if (g == -1) break;
    const Str piece = trimSpaces(midText(t, inner, g - inner));
    if (!piece.empty()) {
      list.push_back(piece);
      pos = g;
    } else {
      pos = inner;
    }
    for (int k = 0; k < 3; ++k)
      if (handleEvents) handleEvents();
  }
  return static_cast<int64_t>(list.size());
}

}  // namespace qm::reference
