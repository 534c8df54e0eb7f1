// Differential fuzzing of the text operations against their plain reference.
//
// Input layout: four control bytes, then texts separated by zero bytes (a text has
// no zero byte): the text, the sought text, the new text, a second marker.
//   byte 0: bit 0 ignore case, bit 1 start given, bit 2 count given,
//           bit 3 map every text byte onto a small alphabet (so that matches,
//           overlaps, lead bytes and spaces are frequent)
//   byte 1: start position - 4 (so positions before, inside and past the text)
//   byte 2: count - 2
//   byte 3: a byte whose bits repeat the text, to make long inputs from short ones
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/gbk.h"
#include "text/text.h"
#include "text_reference.h"

namespace {

namespace ref = qm::reference;

[[noreturn]] void mismatch(const char* what) {
  std::fprintf(stderr, "mismatch in %s\n", what);
  std::abort();
}

template <class A, class B>
void check(const A& fast, const B& slow, const char* what) {
  if (!(fast == slow)) mismatch(what);
}

void checkNumber(double fast, double slow, const char* what) {
  if (std::isnan(fast) || std::isnan(slow) || fast != slow) mismatch(what);
}

// Lead bytes (A1, A3, B0, D6, 81, FF), trail bytes that are letters, spaces, digits,
// number signs and the bytes of the full-width forms.
const unsigned char kAlphabet[] = {'a', 'A', 'b', ' ', 0xA1, 0xA1, 0xA3, 0xB1, 0xB0, 0x41,
                                   '1', '.', 'e', '-', 0xD6, 0xD0, 0x81, 0xFF, '"',  '#'};

std::string takeText(const uint8_t*& p, const uint8_t* end, bool mapped) {
  std::string out;
  while (p < end && *p != 0) {
    const unsigned char c = *p++;
    out.push_back(static_cast<char>(mapped ? kAlphabet[c % sizeof kAlphabet] : c));
  }
  if (p < end) ++p;  // the zero byte
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint8_t flags = data[0];
  const bool ignoreCase = flags & 1;
  const bool mapped = flags & 8;
  const std::optional<int64_t> start =
      (flags & 2) ? std::optional<int64_t>(static_cast<int64_t>(data[1]) - 4) : std::nullopt;
  const std::optional<int64_t> count =
      (flags & 4) ? std::optional<int64_t>(static_cast<int64_t>(data[2]) - 2) : std::nullopt;
  const int repeat = data[3] & 0x0F;
  const uint8_t* p = data + 4;
  const uint8_t* end = data + size;
  std::string t = takeText(p, end, mapped);
  const std::string s = takeText(p, end, mapped);
  const std::string n = takeText(p, end, mapped);
  const std::string r = takeText(p, end, mapped);
  const std::string base = t;
  for (int k = 0; k < repeat && t.size() < 4096; ++k) t += base;

  check(qm::findText(t, s, start, ignoreCase), ref::findText(t, s, start, ignoreCase), "findText");
  check(qm::findLastText(t, s, start, ignoreCase), ref::findLastText(t, s, start, ignoreCase),
        "findLastText");
  const int64_t pos = start.value_or(1);
  const int64_t cnt = count.value_or(3);
  check(qm::leftText(t, pos), ref::leftText(t, pos), "leftText");
  check(qm::rightText(t, pos), ref::rightText(t, pos), "rightText");
  check(qm::midText(t, pos, cnt), ref::midText(t, pos, cnt), "midText");
  check(qm::replaceText(t, s, n, pos, count, ignoreCase), ref::replaceText(t, s, n, pos, count, ignoreCase),
        "replaceText");
  check(qm::splitText(t, s), ref::splitText(t, s), "splitText");
  check(qm::trimSpaces(t), ref::trimSpaces(t), "trimSpaces");
  check(qm::toUpperText(t), ref::changeCase(t, true), "toUpperText");
  check(qm::toLowerText(t), ref::changeCase(t, false), "toLowerText");
  check(qm::textToInteger(t), ref::textToInteger(t), "textToInteger");
  checkNumber(qm::textToNumber(t), ref::textToNumber(t), "textToNumber");
  check(qm::hexValue(s), ref::hexValue(s), "hexValue");
  check(qm::textBefore(t, s), ref::textBefore(t, s), "textBefore");
  check(qm::textAfterLast(t, s), ref::textAfterLast(t, s), "textAfterLast");
  check(qm::textBetween(t, s, r), ref::textBetween(t, s, r), "textBetween");

  int fastCalls = 0;
  int slowCalls = 0;
  qm::TextList fastList{"stale"};
  std::vector<std::string> slowList{"stale"};
  const int64_t fastCount = qm::allTextsBetween(t, s, r, fastList, [&] { ++fastCalls; });
  const int64_t slowCount = ref::allTextsBetween(t, s, r, slowList, [&] { ++slowCalls; });
  check(fastCount, slowCount, "allTextsBetween count");
  check(fastList, slowList, "allTextsBetween list");
  check(fastCalls, slowCalls, "allTextsBetween events");

  // The conversion never fails as a whole: every GBK byte gives at most one unit,
  // and a text converted back gives at most two bytes a unit.
  const std::u16string u = qm::gbkToUtf16(t);
  if (u.size() > t.size()) mismatch("gbkToUtf16 size");
  const std::string back = qm::utf16ToGbk(u);
  if (back.size() > 2 * u.size()) mismatch("utf16ToGbk size");
  if (qm::utf8ToGbk(qm::gbkToUtf8(back)) != back) mismatch("GBK round trip through UTF-8");
  return 0;
}
