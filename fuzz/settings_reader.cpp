// Reads and writes keys of arbitrary INI bytes and checks that a write changes what
// it should and nothing else.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "records/private_profile.h"

namespace {

bool isLead(unsigned char c) { return c >= 0x80; }

// Whole characters only: a last lead byte would swallow the byte written after it.
bool wholeCharacters(const std::string& t) {
  std::size_t i = 0;
  while (i < t.size()) i += isLead(static_cast<unsigned char>(t[i])) ? 2 : 1;
  return i == t.size();
}

bool hasAny(const std::string& t, const std::string& bytes) {
  return t.find_first_of(bytes) != std::string::npos;
}

bool blankAt(const std::string& t, std::size_t i) {
  return t[i] == ' ' || t[i] == '\t' || t[i] == '\v' || t[i] == '\f';
}

std::string trimmed(const std::string& t) {
  std::size_t b = 0, e = t.size();
  while (b < e && blankAt(t, b)) ++b;
  while (e > b && blankAt(t, e - 1)) --e;
  return t.substr(b, e - b);
}

// A name that stands for itself on a line of its own.
bool usableName(const std::string& n, bool isKey) {
  const std::string t = trimmed(n);
  if (t.empty() || !wholeCharacters(t) || hasAny(t, std::string("\r\n\0", 3))) return false;
  if (isKey && (hasAny(t, "=") || t.front() == '[')) return false;
  return true;
}

// A value that reads back as written.
bool plainValue(const std::string& v) {
  if (v.size() > qm::kProfileValueLimit || hasAny(v, std::string("\r\n\0", 3))) return false;
  if (!v.empty() && (blankAt(v, 0) || blankAt(v, v.size() - 1))) return false;
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) return false;
  return wholeCharacters(v);
}

bool sameAscii(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto f = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (f(a[i]) != f(b[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(16);
  const std::string key = in.ConsumeRandomLengthString(16);
  const std::string value = in.ConsumeRandomLengthString(64);
  const std::string otherSection = in.ConsumeRandomLengthString(16);
  const std::string otherKey = in.ConsumeRandomLengthString(16);
  const std::string file = in.ConsumeRemainingBytesAsString();

  const std::string read = qm::readProfileString(file, section, key, "default");
  if (read.size() > qm::kProfileValueLimit || hasAny(read, std::string("\r\n\0", 3))) std::abort();

  const std::string written = qm::writeProfileString(file, section, key, value);
  if (!usableName(section, false) || !usableName(key, true)) return 0;

  if (plainValue(value)) {
    if (qm::readProfileString(written, section, key, "default") != value) std::abort();
    if (qm::writeProfileString(written, section, key, value) != written) std::abort();
  }
  // Every other key reads as before (a value holding a line end makes lines of its own).
  if (hasAny(value, "\r\n")) return 0;
  const bool sameKey =
      sameAscii(trimmed(section), trimmed(otherSection)) && sameAscii(trimmed(key), trimmed(otherKey));
  if (!sameKey && qm::readProfileString(file, otherSection, otherKey, "d") !=
                      qm::readProfileString(written, otherSection, otherKey, "d"))
    std::abort();
  return 0;
}
