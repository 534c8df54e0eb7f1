#include "text/text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cstring>
#include <limits>

#include "text/gbk.h"

namespace qm {

namespace {

using Byte = unsigned char;
constexpr size_t npos = std::string_view::npos;

inline const Byte* bytesOf(std::string_view t) { return reinterpret_cast<const Byte*>(t.data()); }

inline Byte foldCase(Byte c) { return (c >= 'A' && c <= 'Z') ? static_cast<Byte>(c + ('a' - 'A')) : c; }
inline bool isLetter(Byte c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline size_t charLength(Byte lead) { return lead >= 0x80 ? 2 : 1; }

// 0-based start of the search window from an optional 1-based start position.
inline size_t windowStart(std::optional<int64_t> start) {
  if (!start || *start <= 1) return 0;
  return static_cast<size_t>(*start - 1);
}

// Whether byte p begins a character when characters are counted by stepping from
// the character start c (c <= p). Stepping only pairs a byte of 0x80 or more with
// the byte after it, so a byte after one below 0x80 always begins a character:
// going back from p over bytes of 0x80 or more reaches such a start j (or c), and
// from there every byte up to p is a lead byte, so p begins a character exactly
// when p - j is even. The walk never goes below c, and callers move c up to p
// afterwards, so no byte is walked twice.
bool beginsCharacter(const Byte* d, size_t c, size_t p) {
  if (p == c || d[p - 1] < 0x80) return true;  // the common case in mostly-ASCII text
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t j = p;
  while (j - c >= 8) {
    uint64_t w;
    std::memcpy(&w, d + j - 8, sizeof w);
    if ((w & kHighBits) != kHighBits) break;
    j -= 8;
  }
  while (j > c && d[j - 1] >= 0x80) --j;
  return ((p - j) & 1) == 0;
}

inline const Byte* findBytes(const Byte* hay, size_t hayLen, const Byte* needle, size_t needleLen) {
  if (needleLen == 1) return static_cast<const Byte*>(std::memchr(hay, needle[0], hayLen));
#if defined(__GLIBC__)
  return static_cast<const Byte*>(memmem(hay, hayLen, needle, needleLen));
#else
  const std::string_view h(reinterpret_cast<const char*>(hay), hayLen);
  const size_t p = h.find(std::string_view(reinterpret_cast<const char*>(needle), needleLen));
  return p == npos ? nullptr : hay + p;
#endif
}

// Finds occurrences of one sought text that begin where a character begins, the
// characters being counted by stepping from a given start. Candidates come from a
// byte search (memchr, memmem); a candidate on a second byte is passed over. Should such
// rejections pile up (GBK text whose trail bytes keep spelling the sought text), the
// scan goes on with a KMP automaton, so every search stays linear in the text.
// ASCII letter case is ignored by folding both sides, always through the automaton.
class Finder {
 public:
  Finder(std::string_view s, bool ignoreCase)
      : s_(s),
        fold_(ignoreCase &&
              std::any_of(s.begin(), s.end(), [](char c) { return isLetter(static_cast<Byte>(c)); })) {}

  // 0-based start of the first occurrence lying within [from, end), or npos.
  size_t first(std::string_view t, size_t from, size_t end) {
    size_t found = npos;
    scan(t, from, end, [&](size_t p) {
      found = p;
      return npos;
    });
    return found;
  }

  // 0-based start of the last occurrence lying within [from, end), or npos.
  size_t last(std::string_view t, size_t from, size_t end) {
    size_t found = npos;
    const Byte* d = bytesOf(t);
    scan(t, from, end, [&](size_t p) {
      found = p;
      return p + charLength(d[p]);
    });
    return found;
  }

  // Calls visit(p) for each occurrence that does not overlap the one before, in
  // order, while visit gives true; the search after one begins right after it,
  // taken as a character start.
  template <class Visit>
  void each(std::string_view t, size_t from, size_t end, Visit&& visit) {
    scan(t, from, end, [&](size_t p) { return visit(p) ? p + s_.size() : npos; });
  }

 private:
  // Calls visit(p) for the occurrences in order; visit gives the character start
  // the search goes on from (after p), or npos to stop.
  template <class Visit>
  void scan(std::string_view t, size_t from, size_t end, Visit&& visit) {
    const size_t m = s_.size();
    if (m == 0 || from >= end || end - from < m) return;
    const Byte* d = bytesOf(t);
    if (fold_) {
      automaton(d, from, end, visit);
      return;
    }
    const Byte* needle = bytesOf(s_);
    // Candidates come from memchr on the first byte while that byte is rare (GBK
    // text, a marker's rare first byte); where it keeps turning up without the rest
    // (a quote in JSON), memmem takes over.
    bool byFirstByte = m > 1;
    size_t falseHits = 0;
    auto candidate = [&](size_t q) -> const Byte* {
      while (byFirstByte) {
        const void* hit = std::memchr(d + q, needle[0], end - q - m + 1);
        if (hit == nullptr) return nullptr;
        const Byte* h = static_cast<const Byte*>(hit);
        if (std::memcmp(h + 1, needle + 1, m - 1) == 0) return h;
        q = static_cast<size_t>(h - d) + 1;
        if (++falseHits > 16 && falseHits * (m + 256) > 4 * (q - from)) byFirstByte = false;
        if (end - q < m) return nullptr;
      }
      return findBytes(d + q, end - q, needle, m);
    };
    size_t c = from;  // a character start
    size_t searches = 0;
    while (c < end && end - c >= m) {
      // Each search costs about m beyond the bytes it passes; once that overhead
      // outgrows the progress made, switch to the automaton.
      if (++searches > 8 && (searches - 8) * m > 4 * (c - from)) {
        automaton(d, c, end, visit);
        return;
      }
      const Byte* hit = candidate(c);
      if (hit == nullptr) return;
      const size_t p = static_cast<size_t>(hit - d);
      const bool begins = beginsCharacter(d, c, p);
      c = begins ? visit(p) : p + 1;
      if (c == npos) return;
    }
  }

  template <class Visit>
  void automaton(const Byte* d, size_t from, size_t end, Visit& visit) {
    const size_t m = s_.size();
    if (fail_.empty()) buildAutomaton();
    const Byte* pat = bytesOf(pattern_);
    const Byte first = pat[0];
    const Byte firstOther = fold_ && isLetter(first) ? static_cast<Byte>(first - ('a' - 'A')) : first;
    size_t c = from;  // a character start at or before the next candidate
    size_t k = 0;     // bytes of the pattern matched
    for (size_t i = from; i < end; ++i) {
      if (k == 0) {
        // Skip straight to the next byte that can begin the pattern.
        if (first == firstOther) {
          const void* hit = std::memchr(d + i, first, end - i);
          if (hit == nullptr) return;
          i = static_cast<size_t>(static_cast<const Byte*>(hit) - d);
        } else {
          while (i < end && d[i] != first && d[i] != firstOther) ++i;
          if (i == end) return;
        }
      }
      const Byte x = fold_ ? foldCase(d[i]) : d[i];
      while (k > 0 && x != pat[k]) k = fail_[k - 1];
      if (x == pat[k]) ++k;
      if (k == m) {
        const size_t p = i + 1 - m;
        if (p >= c) {
          c = beginsCharacter(d, c, p) ? visit(p) : p + 1;
          if (c == npos) return;
          if (c > i + 1) {
            // Not overlapping: start afresh right after the occurrence.
            k = 0;
            i = c - 1;
            continue;
          }
        }
        k = fail_[k - 1];
      }
    }
  }

  void buildAutomaton() {
    const size_t m = s_.size();
    pattern_.assign(s_);
    if (fold_)
      for (char& ch : pattern_) ch = static_cast<char>(foldCase(static_cast<Byte>(ch)));
    fail_.assign(m, 0);
    size_t k = 0;
    for (size_t i = 1; i < m; ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = fail_[k - 1];
      if (pattern_[i] == pattern_[k]) ++k;
      fail_[i] = k;
    }
  }

  std::string_view s_;
  bool fold_;
  std::string pattern_;
  std::vector<size_t> fail_;
};

inline bool isIdeographicSpace(const Byte* d, size_t i, size_t n) {
  return i + 1 < n && d[i] == 0xA1 && d[i + 1] == 0xA1;
}

// Step 1 of the number readings: full-width forms become their ASCII counterparts.
// Only the part a number can be read from is mapped (white space, signs, digits,
// point, exponent letter), plus one byte that ends it.
std::string mapNumberPrefix(std::string_view t) {
  const Byte* d = bytesOf(t);
  const size_t n = t.size();
  std::string out;
  for (size_t i = 0; i < n;) {
    Byte mapped = d[i];
    size_t len = 1;
    if (d[i] >= 0x80) {
      len = 2;
      if (i + 1 < n) {
        const Byte lead = d[i];
        const Byte trail = d[i + 1];
        if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
          mapped = static_cast<Byte>(trail - 0x80);
        else if (lead == 0xA1 && trail == 0xA1)
          mapped = ' ';
        else if (lead == 0xA1 && trail == 0xAB)
          mapped = '~';
        else if (lead == 0xA1 && (trail == 0xEE || trail == 0xEF))
          mapped = '*';
      }
    }
    out.push_back(static_cast<char>(mapped));
    if (std::strchr(" \t\n\v\f\r+-.0123456789eE", mapped) == nullptr || mapped == 0) break;
    i += len;
  }
  return out;
}

inline bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

Text bytesToText(std::string_view bytes) {
  const void* zero = std::memchr(bytes.data(), 0, bytes.size());
  if (zero == nullptr) return Text(bytes);
  return Text(bytes.data(), static_cast<size_t>(static_cast<const char*>(zero) - bytes.data()));
}

Text integerToText(int64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return Text(buf, res.ptr);
}

int64_t textLength(std::string_view t) { return static_cast<int64_t>(t.size()); }

int64_t findText(std::string_view t, std::string_view s, std::optional<int64_t> start, bool ignoreCase) {
  const size_t b = windowStart(start);
  if (b >= t.size()) return -1;
  const size_t p = Finder(s, ignoreCase).first(t, b, t.size());
  return p == npos ? -1 : static_cast<int64_t>(p) + 1;
}

int64_t findLastText(std::string_view t, std::string_view s, std::optional<int64_t> start, bool ignoreCase) {
  const size_t w = start ? std::min(windowStart(start), t.size()) : t.size();
  const size_t p = Finder(s, ignoreCase).last(t, 0, w);
  return p == npos ? -1 : static_cast<int64_t>(p) + 1;
}

Text leftText(std::string_view t, int64_t n) {
  if (n <= 0) return {};
  return Text(t.substr(0, static_cast<size_t>(std::min<int64_t>(n, textLength(t)))));
}

Text rightText(std::string_view t, int64_t n) {
  if (n <= 0) return {};
  const size_t k = static_cast<size_t>(std::min<int64_t>(n, textLength(t)));
  return Text(t.substr(t.size() - k));
}

Text midText(std::string_view t, int64_t s, int64_t n) {
  const int64_t len = textLength(t);
  if (s < 1 || s > len || n <= 0) return {};
  const int64_t count = std::min(n, len - s + 1);
  return Text(t.substr(static_cast<size_t>(s - 1), static_cast<size_t>(count)));
}

Text replaceText(std::string_view t, std::string_view oldText, std::string_view newText, int64_t start,
                 std::optional<int64_t> count, bool ignoreCase) {
  const size_t b = start < 1 ? 0 : static_cast<size_t>(start - 1);
  if (t.empty() || oldText.empty() || b >= t.size() || (count && *count == 0)) return Text(t);
  // A negative count limits nothing, like an absent one.
  const size_t limit = count && *count > 0 ? static_cast<size_t>(*count) : npos;
  Text out;
  out.reserve(t.size());
  out.append(t.substr(0, b));
  size_t pos = b;
  size_t done = 0;
  Finder finder(oldText, ignoreCase);
  // The occurrences past the limit are not searched for: the scan stops there.
  finder.each(t, b, t.size(), [&](size_t p) {
    out.append(t.substr(pos, p - pos));
    out.append(newText);
    pos = p + oldText.size();
    return ++done != limit;
  });
  out.append(t.substr(pos));
  return out;
}

TextList splitText(std::string_view t, std::string_view sep) {
  TextList pieces;
  if (t.empty()) return pieces;
  if (sep.empty()) {
    pieces.emplace_back(t);
    return pieces;
  }
  size_t pos = 0;
  Finder(sep, false).each(t, 0, t.size(), [&](size_t p) {
    pieces.emplace_back(t.substr(pos, p - pos));
    pos = p + sep.size();
    return true;
  });
  if (pos < t.size()) pieces.emplace_back(t.substr(pos));
  return pieces;
}

Text trimSpaces(std::string_view t) {
  const Byte* d = bytesOf(t);
  const size_t n = t.size();
  size_t i = 0;
  for (;;) {
    if (i < n && d[i] == ' ')
      ++i;
    else if (isIdeographicSpace(d, i, n))
      i += 2;
    else
      break;
  }
  // The end is found by stepping by character, so that the second byte of a
  // character is never mistaken for part of a space.
  size_t keepEnd = i;
  for (size_t c = i; c < n;) {
    const size_t len = std::min(charLength(d[c]), n - c);
    const bool space = d[c] == ' ' || (len == 2 && isIdeographicSpace(d, c, n));
    c += len;
    if (!space) keepEnd = c;
  }
  return Text(t.substr(i, keepEnd - i));
}

namespace {
Text changeCase(std::string_view t, bool upper) {
  Text out(t);
  const size_t n = out.size();
  for (size_t i = 0; i < n;) {
    const Byte c = static_cast<Byte>(out[i]);
    if (c >= 0x80) {
      i += 2;
      continue;
    }
    if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - ('a' - 'A'));
    if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + ('a' - 'A'));
    ++i;
  }
  return out;
}
}  // namespace

Text toUpperText(std::string_view t) { return changeCase(t, true); }
Text toLowerText(std::string_view t) { return changeCase(t, false); }

int32_t textToInteger(std::string_view t) {
  const std::string m = mapNumberPrefix(t);
  size_t i = 0;
  while (i < m.size() && isCSpace(m[i])) ++i;
  bool negative = false;
  if (i < m.size() && (m[i] == '+' || m[i] == '-')) negative = m[i++] == '-';
  // Beyond the 32-bit range the reading saturates, as strtol does.
  int64_t value = 0;
  for (; i < m.size() && isDigit(m[i]); ++i) {
    value = value * 10 + (m[i] - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

double textToNumber(std::string_view t) {
  const std::string m = mapNumberPrefix(t);
  const size_t n = m.size();
  size_t i = 0;
  while (i < n && isCSpace(m[i])) ++i;
  bool negative = false;
  if (i < n && (m[i] == '+' || m[i] == '-')) negative = m[i++] == '-';
  const size_t numberStart = i;
  size_t intDigits = 0;
  size_t firstNonZero = npos;
  while (i < n && isDigit(m[i])) {
    if (m[i] != '0' && firstNonZero == npos) firstNonZero = intDigits;
    ++i, ++intDigits;
  }
  size_t fracDigits = 0;
  if (i < n && m[i] == '.') {
    size_t j = i + 1;
    while (j < n && isDigit(m[j])) {
      if (m[j] != '0' && firstNonZero == npos) firstNonZero = intDigits + fracDigits;
      ++j, ++fracDigits;
    }
    // A point counts only with a digit on one side of it, as strtod reads it.
    if (intDigits + fracDigits > 0) i = j;
  }
  if (intDigits + fracDigits == 0) return 0.0;
  int64_t exponent = 0;
  if (i < n && (m[i] == 'e' || m[i] == 'E')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < n && (m[j] == '+' || m[j] == '-')) expNegative = m[j++] == '-';
    if (j < n && isDigit(m[j])) {
      for (; j < n && isDigit(m[j]); ++j) exponent = std::min<int64_t>(exponent * 10 + (m[j] - '0'), 1000000);
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  double value = 0.0;
  const char* first = m.data() + numberStart;
  const char* last = m.data() + i;
  const auto res = std::from_chars(first, last, value, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small gives zero: the strtod outcome.
    const int64_t magnitude = static_cast<int64_t>(intDigits) - static_cast<int64_t>(firstNonZero) + exponent;
    value = (firstNonZero != npos && magnitude > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

int64_t hexValue(std::string_view t) {
  // Every byte that is no hexadecimal digit, ASCII or not, counts as -2; the value
  // wraps around past 64 bits instead of overflowing.
  uint64_t value = 0;
  for (const char ch : t) {
    const Byte c = static_cast<Byte>(ch);
    int64_t digit = -2;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    value = value * 16 + static_cast<uint64_t>(digit);
  }
  return static_cast<int64_t>(value);
}

Text textBefore(std::string_view t, std::string_view marker) {
  const int64_t p = findText(t, marker);
  if (p == -1) return {};
  return leftText(t, p - 1);
}

Text textAfterLast(std::string_view t, std::string_view marker) {
  const int64_t p = findLastText(t, marker);
  if (p == -1) return {};
  return Text(t.substr(static_cast<size_t>(p - 1) + marker.size()));
}

namespace {
// "#引号" in a marker stands for a double quote.
Text unquoteMarker(std::string_view marker) {
  if (marker.find('#') == npos) return Text(marker);
  return replaceText(marker, QM_GBK("#引号"), "\"");
}
}  // namespace

Text textBetween(std::string_view t, std::string_view left, std::string_view right) {
  const Text l = unquoteMarker(left);
  const Text r = unquoteMarker(right);
  int64_t c = findText(t, l);
  if (c != -1) c += textLength(l);
  if (c == -1) return {};
  const int64_t d = findText(t, r, c);
  if (d == -1) return {};
  return midText(t, c, d - c);
}

int64_t allTextsBetween(std::string_view t, std::string_view left, std::string_view right, TextList& list,
                        const std::function<void()>& handleEvents) {
  list.clear();
  // Empty markers would never move the scan on; no caller passes them.
  if (left.empty() || right.empty()) return 0;
  Finder leftFinder(left, true);
  Finder rightFinder(right, true);
  size_t pos = 0;  // 0-based
  for (;;) {
    if (pos >= t.size()) break;
    const size_t f = leftFinder.first(t, pos, t.size());
    if (f == npos) break;
    const size_t inner = f + left.size();
    if (inner >= t.size()) break;
    const size_t g = rightFinder.first(t, inner, t.size());
    if (g == npos) break;
    Text piece = trimSpaces(t.substr(inner, g - inner));
    if (!piece.empty()) {
      list.push_back(std::move(piece));
      pos = g;
    } else {
      pos = inner;
    }
    if (handleEvents)
      for (int i = 0; i < 3; ++i) handleEvents();
  }
  return static_cast<int64_t>(list.size());
}

}  // namespace qm
