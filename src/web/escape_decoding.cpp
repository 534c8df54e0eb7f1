#include "web/escape_decoding.h"

#include "text/gbk.h"
#include "web/escape_literal.h"

namespace qm {
namespace {

// The GBK right single quotation mark, which stands for "'" while the text is read as
// a single-quoted string.
constexpr std::string_view kQuoteMark = "\xA1\xAF";
constexpr std::string_view kLineBreakMark = "{$}";

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool isOctal(char16_t c) { return c >= u'0' && c <= u'7'; }

void appendCodePoint(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

}  // namespace

namespace web {

Text protectEscapes(const Text& text) {
  Text t = replaceText(text, "\r\n", kLineBreakMark);
  if (!t.empty() && t.front() == '\r') t.erase(0, 1);
  t = replaceText(t, "\\u", "%u");
  return replaceText(t, "'", kQuoteMark);
}

Text restoreProtected(const Text& text) {
  return replaceText(replaceText(text, kQuoteMark, "'"), kLineBreakMark, "\r\n");
}

std::optional<std::u16string> readQuotedLiteral(std::u16string_view body) {
  std::u16string out;
  out.reserve(body.size());
  const std::size_t n = body.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = body[i];
    if (c == u'\'' || c == u'\n' || c == u'\r') return std::nullopt;  // would end the literal or the line
    if (c != u'\\') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 == n) return std::nullopt;  // the backslash would escape the closing quote
    const char16_t d = body[i + 1];
    i += 2;
    switch (d) {
      case u'\n':
      case u'\u2028':
      case u'\u2029':
        break;  // line continuation
      case u'\r':
        if (i < n && body[i] == u'\n') ++i;
        break;
      case u'b':
        out += u'\b';
        break;
      case u't':
        out += u'\t';
        break;
      case u'n':
        out += u'\n';
        break;
      case u'v':
        out += u'\v';
        break;
      case u'f':
        out += u'\f';
        break;
      case u'r':
        out += u'\r';
        break;
      case u'x': {
        if (i + 2 > n) return std::nullopt;
        const int h = hexDigit(body[i]), l = hexDigit(body[i + 1]);
        if (h < 0 || l < 0) return std::nullopt;
        out += static_cast<char16_t>(h * 16 + l);
        i += 2;
        break;
      }
      case u'u': {
        if (i < n && body[i] == u'{') {
          char32_t cp = 0;
          std::size_t j = i + 1;
          for (; j < n && body[j] != u'}'; ++j) {
            const int v = hexDigit(body[j]);
            if (v < 0) return std::nullopt;
            cp = cp * 16 + static_cast<char32_t>(v);
            if (cp > 0x10FFFF) return std::nullopt;
          }
          if (j == n || j == i + 1) return std::nullopt;  // no "}" or no digit
          appendCodePoint(out, cp);
          i = j + 1;
        } else {
          if (i + 4 > n) return std::nullopt;
          char16_t unit = 0;
          for (std::size_t k = 0; k < 4; ++k) {
            const int v = hexDigit(body[i + k]);
            if (v < 0) return std::nullopt;
            unit = static_cast<char16_t>(unit * 16 + v);
          }
          out += unit;
          i += 4;
        }
        break;
      }
      default:
        if (isOctal(d)) {
          // Legacy octal escapes: up to three digits from 0-3, up to two from 4-7.
          unsigned value = static_cast<unsigned>(d - u'0');
          const std::size_t maxMore = d <= u'3' ? 2 : 1;
          for (std::size_t k = 0; k < maxMore && i < n && isOctal(body[i]); ++k, ++i) {
            value = value * 8 + static_cast<unsigned>(body[i] - u'0');
          }
          out += static_cast<char16_t>(value);
        } else {
          out += d;  // "\8", "\9", "\"", "\\", "\/" and any other: the character itself
        }
        break;
    }
  }
  return out;
}

std::u16string unescapeUnits(std::u16string_view s) {
  std::u16string out;
  out.reserve(s.size());
  const std::size_t n = s.size();
  for (std::size_t k = 0; k < n; ++k) {
    const char16_t c = s[k];
    if (c == u'%') {
      if (k + 6 <= n && s[k + 1] == u'u') {
        const int a = hexDigit(s[k + 2]), b = hexDigit(s[k + 3]), d = hexDigit(s[k + 4]),
                  e = hexDigit(s[k + 5]);
        if (a >= 0 && b >= 0 && d >= 0 && e >= 0) {
          out += static_cast<char16_t>(((a * 16 + b) * 16 + d) * 16 + e);
          k += 5;
          continue;
        }
      }
      if (k + 3 <= n) {
        const int a = hexDigit(s[k + 1]), b = hexDigit(s[k + 2]);
        if (a >= 0 && b >= 0) {
          out += static_cast<char16_t>(a * 16 + b);
          k += 2;
          continue;
        }
      }
    }
    out += c;
  }
  return out;
}

Text decodeAsQuotedLiteral(const Text& protectedText) {
  std::optional<std::u16string> value = readQuotedLiteral(gbkToUtf16(protectedText));
  if (!value) return {};
  std::u16string units = unescapeUnits(*value);
  // The result becomes text up to its first zero, as every text does.
  const auto zero = units.find(u'\0');
  if (zero != std::u16string::npos) units.resize(zero);
  return utf16ToGbk(units);
}

}  // namespace web

Text codeToGbkText(int64_t value) {
  const auto bits = static_cast<uint64_t>(value);
  std::u16string units;
  for (int half = 0; half < 4; ++half) {
    const auto unit = static_cast<char16_t>((bits >> (16 * half)) & 0xFFFF);
    if (unit == 0) break;
    units += unit;
  }
  return utf16ToGbk(units);
}

Text decodePercentEscapes(const Text& text, const std::function<void()>& handleEvents) {
  Text out;
  const int64_t n = textLength(text);
  int64_t i = 1;  // 1-based, as the positions of the rules are
  while (i <= n) {
    const char c = text[static_cast<std::size_t>(i - 1)];
    if (c != '%') {
      out += c;
      i += 1;
    } else if (i + 5 <= n && text[static_cast<std::size_t>(i)] == 'u') {
      const Text digits = midText(text, i + 2, 4);
      if (textToInteger(digits) != 0) {
        out += codeToGbkText(hexValue(digits));
        i += 6;
      } else {
        out += '%';
        i += 1;
      }
    } else if (i + 2 <= n) {
      out += codeToGbkText(hexValue(midText(text, i + 1, 2)));
      i += 3;
    } else {
      out += '%';
      i += 1;
    }
    if (handleEvents) handleEvents();
  }
  return out;
}

Text decodeEscapedText(const Text& text, const std::function<void()>& handleEvents) {
  const Text protectedText = web::protectEscapes(text);
  Text decoded = web::decodeAsQuotedLiteral(protectedText);
  if (decoded.empty()) decoded = decodePercentEscapes(protectedText, handleEvents);
  return web::restoreProtected(decoded);
}

}  // namespace qm
