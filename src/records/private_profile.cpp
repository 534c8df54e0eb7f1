#include "records/private_profile.h"

#include <optional>
#include <vector>

namespace qm {

namespace {

// One line of the file as offsets into its bytes: [begin, bodyEnd) is the line
// without its end, [bodyEnd, end) the line end ("\r\n", "\n", "\r" or none at the
// end of the file).
struct Line {
  std::size_t begin;
  std::size_t bodyEnd;
  std::size_t end;
};

std::vector<Line> splitLines(std::string_view bytes) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      const std::size_t bodyEnd = i;
      i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
      lines.push_back({begin, bodyEnd, i});
      begin = i;
    } else {
      ++i;
    }
  }
  if (begin < bytes.size()) lines.push_back({begin, bytes.size(), bytes.size()});
  return lines;
}

// The white space Windows trims around names and values (CR and LF end lines).
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view trimBlanks(std::string_view t) {
  while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
  return t;
}

bool isLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare by character: ASCII letters without regard to case, a two-byte
// character whole (its second byte may look like a letter but is not one).
bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    if (isLeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
    } else {
      if (foldAscii(a[i]) != foldAscii(b[i])) return false;
      ++i;
    }
  }
  return true;
}

// Position of the first (or last) single-byte character c, stepping by character
// so that the second byte of a two-byte character is never taken for it.
std::optional<std::size_t> findChar(std::string_view t, char c, bool last) {
  std::optional<std::size_t> found;
  std::size_t i = 0;
  while (i < t.size()) {
    if (t[i] == c) {
      found = i;
      if (!last) return found;
      ++i;
    } else {
      i += isLeadByte(t[i]) ? 2 : 1;
    }
  }
  return found;
}

// What a line of the file is.
struct LineKind {
  enum { Blank, Section, Key } kind = Blank;
  std::string_view name;                  // section or key name
  std::optional<std::string_view> value;  // after the first "=", when there is one
};

LineKind classify(std::string_view body) {
  LineKind k;
  const std::string_view t = trimBlanks(body);
  if (t.empty()) return k;
  if (t.front() == '[') {
    if (const auto close = findChar(t, ']', true)) {
      k.kind = LineKind::Section;
      k.name = trimBlanks(t.substr(1, *close - 1));
      return k;
    }
  }
  k.kind = LineKind::Key;
  if (const auto eq = findChar(t, '=', false)) {
    k.name = trimBlanks(t.substr(0, *eq));
    k.value = trimBlanks(t.substr(*eq + 1));
  } else {
    k.name = t;
  }
  return k;
}

// Where a section's lines lie: its header line and the lines up to the next header.
struct SectionRange {
  std::size_t header;
  std::size_t endLine;  // one past its last line
};

std::optional<SectionRange> findSection(std::string_view bytes, const std::vector<Line>& lines,
                                        std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const LineKind k = classify(bytes.substr(lines[i].begin, lines[i].bodyEnd - lines[i].begin));
    if (k.kind != LineKind::Section || !sameName(k.name, section)) continue;
    std::size_t j = i + 1;
    while (j < lines.size() &&
           classify(bytes.substr(lines[j].begin, lines[j].bodyEnd - lines[j].begin)).kind !=
               LineKind::Section)
      ++j;
    return SectionRange{i, j};
  }
  return std::nullopt;
}

std::string_view lineBody(std::string_view bytes, const Line& line) {
  return bytes.substr(line.begin, line.bodyEnd - line.begin);
}

std::optional<std::size_t> findKey(std::string_view bytes, const std::vector<Line>& lines, SectionRange range,
                                   std::string_view key) {
  for (std::size_t i = range.header + 1; i < range.endLine; ++i) {
    const LineKind k = classify(lineBody(bytes, lines[i]));
    if (k.kind == LineKind::Key && sameName(k.name, key)) return i;
  }
  return std::nullopt;
}

// At most `limit` bytes, never ending on the first byte of a two-byte character.
std::string_view cutToLimit(std::string_view t, std::size_t limit) {
  if (t.size() <= limit) return t;
  std::size_t i = 0;
  while (i < t.size()) {
    const std::size_t step = isLeadByte(t[i]) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return t.substr(0, i);
}

std::string_view stripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

Text readProfileString(const Bytes& fileContents, std::string_view section, std::string_view key,
                       std::string_view defaultValue) {
  section = trimBlanks(section);
  key = trimBlanks(key);
  const std::string_view bytes = fileContents;
  const auto lines = splitLines(bytes);
  std::optional<std::string_view> value;
  if (const auto range = findSection(bytes, lines, section)) {
    if (const auto line = findKey(bytes, lines, *range, key))
      value = classify(lineBody(bytes, lines[*line])).value;
  }
  if (!value) {
    std::string_view d = defaultValue.substr(0, defaultValue.find('\0'));
    while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
    return Text(cutToLimit(d, kProfileValueLimit));
  }
  // A string ends at a zero byte; the blanks before it are trimmed again.
  std::string_view v = trimBlanks(value->substr(0, value->find('\0')));
  return Text(cutToLimit(stripQuotes(v), kProfileValueLimit));
}

Bytes writeProfileString(const Bytes& fileContents, std::string_view section, std::string_view key,
                         std::string_view value) {
  section = trimBlanks(section);
  key = trimBlanks(key);
  const std::string_view bytes = fileContents;
  Bytes keyLine;
  keyLine.append(key).append("=").append(value).append("\r\n");
  const auto lines = splitLines(bytes);
  const auto range = findSection(bytes, lines, section);
  if (!range) {
    Bytes out(bytes);
    if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
    out.append("[").append(section).append("]\r\n").append(keyLine);
    return out;
  }
  if (const auto line = findKey(bytes, lines, *range, key)) {
    Bytes out(bytes.substr(0, lines[*line].begin));
    out += keyLine;
    out += bytes.substr(lines[*line].end);
    return out;
  }
  std::size_t after = range->header;
  for (std::size_t i = range->header + 1; i < range->endLine; ++i)
    if (classify(lineBody(bytes, lines[i])).kind != LineKind::Blank) after = i;
  const Line& at = lines[after];
  Bytes out(bytes.substr(0, at.end));
  if (at.end == at.bodyEnd) out += "\r\n";  // the last line of the file had no line end
  out += keyLine;
  out += bytes.substr(at.end);
  return out;
}

}  // namespace qm
