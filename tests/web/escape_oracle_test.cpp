// The main path of escape decoding held against a real ECMAScript engine: node
// evaluates the very script the decoding stands for, on generated protected texts.
//
// Left out of the comparison (the decoding follows node there too, but replies never
// hold them and other engines differ): a backslash before a line break, and "\x"
// without two hexadecimal digits after it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_dir.h"
#include "text/gbk.h"
#include "web/escape_literal.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> findNode() {
  if (const char* path = std::getenv("PATH")) {
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
      const fs::path candidate = fs::path(dir.empty() ? "." : dir) / "node";
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
  }
  if (::access("/usr/bin/node", X_OK) == 0) return fs::path("/usr/bin/node");
  return std::nullopt;
}

// Each case: the script text of the decoding, run and its result given back as code
// units; null where the script does not compile.
constexpr const char* kOracleScript = R"JS(
const fs = require('fs');
const cases = JSON.parse(fs.readFileSync(0, 'utf8'));
const results = cases.map((body) => {
  let value;
  try {
    value = (0, eval)("function xx(){var x='" + body + "';return unescape(x);}\nxx()");
  } catch (e) {
    if (e instanceof SyntaxError) return null;
    return 'unexpected: ' + e;
  }
  const units = [];
  for (let i = 0; i < value.length; ++i) units.push(value.charCodeAt(i));
  return units;
});
process.stdout.write(JSON.stringify(results));
)JS";

std::string jsonString(std::u16string_view units) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char16_t u : units) {
    if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')) {
      out += static_cast<char>(u);
    } else {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
    }
  }
  return out + "\"";
}

// Reads node's answer: an array whose items are null, an array of numbers, or a string.
struct OracleResult {
  bool compiled = false;
  std::u16string value;
  std::string unexpected;
};

std::vector<OracleResult> parseResults(const std::string& json) {
  std::vector<OracleResult> results;
  std::size_t i = 0;
  auto skip = [&] {
    while (i < json.size() && (json[i] == ' ' || json[i] == ',' || json[i] == '\n')) ++i;
  };
  if (json.empty() || json[0] != '[') return results;
  ++i;
  for (;;) {
    skip();
    if (i >= json.size() || json[i] == ']') break;
    OracleResult r;
    if (json.compare(i, 4, "null") == 0) {
      i += 4;
    } else if (json[i] == '[') {
      r.compiled = true;
      ++i;
      for (;;) {
        skip();
        if (i >= json.size() || json[i] == ']') break;
        std::size_t used = 0;
        r.value += static_cast<char16_t>(std::stoul(json.substr(i, 8), &used));
        i += used;
      }
      ++i;
    } else {
      const std::size_t end = json.find('"', i + 1);
      r.unexpected = json.substr(i, end - i + 1);
      i = end + 1;
    }
    results.push_back(std::move(r));
  }
  return results;
}

bool isLineBreak(char16_t u) { return u == u'\n' || u == u'\r' || u == u'\u2028' || u == u'\u2029'; }
bool isHex(char16_t u) {
  return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

// A backslash before a line break, or "\x" without two hex digits: left out.
bool leftOut(std::u16string_view units) {
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    if (units[i] != u'\\') continue;
    const char16_t next = units[i + 1];
    if (isLineBreak(next)) return true;
    if (next == u'x' && (i + 3 >= units.size() || !isHex(units[i + 2]) || !isHex(units[i + 3]))) return true;
    ++i;  // the escaped unit is consumed with its backslash
  }
  return false;
}

// Texts made of pieces that replies hold and pieces that stress the literal grammar.
class CaseMaker {
 public:
  explicit CaseMaker(unsigned seed) : rng_(seed) {}

  std::string text() {
    static const std::vector<std::string> plain = {"a",           "Z",
                                                   "0",           "7",
                                                   "9",           "f",
                                                   "u",           "U",
                                                   "x",           "{",
                                                   "}",           "\"",
                                                   "/",           " ",
                                                   ":",           ",",
                                                   "$",           "%",
                                                   "\\",          "\\\\",
                                                   "{$}",         "\r\n",
                                                   "'",           test::g("’"),
                                                   test::g("京"), test::g("有货"),
                                                   "\t",          "8",
                                                   "3",           "4",
                                                   "e",           "E",
                                                   "[",           "]",
                                                   "stock",       "\\/",
                                                   "\\\"",        "\\n",
                                                   "\\t",         "\\b",
                                                   "\\r"};
    std::string t;
    const int pieces = std::uniform_int_distribution<int>(0, 24)(rng_);
    for (int p = 0; p < pieces; ++p) {
      switch (pick(12)) {
        case 0:
          t += "\\u" + hex(4);
          break;
        case 1:
          t += "\\u" + hex(pick(4));
          break;
        case 2:
          t += "%u" + hex(4);
          break;
        case 3:
          t += "%" + hex(2);
          break;
        case 4:
          t += "%" + hex(pick(2));
          break;
        case 5:
          t += "\\x" + hex(2);
          break;
        case 6:
          t += "\\" + octal(1 + pick(3));
          break;
        case 7:
          t += "\\u{" + hex(1 + pick(7)) + "}";
          break;
        case 8:
          if (pick(20) == 0) t += pick(2) == 0 ? "\n" : "\r";
          break;
        default:
          t += plain[static_cast<std::size_t>(pick(static_cast<int>(plain.size())))];
          break;
      }
    }
    return t;
  }
  bool chance(int outOf) { return pick(outOf) == 0; }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  std::string hex(int n) {
    static const char digits[] = "0123456789abcdefABCDEF";
    std::string s;
    for (int i = 0; i < n; ++i) s += digits[pick(22)];
    return s;
  }
  std::string octal(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + pick(10));
    return s;
  }
  std::mt19937 rng_;
};

TEST(EscapeOracle, MainPathMatchesNode) {
  const auto node = findNode();
  if (!node)
    GTEST_SKIP() << "node is not installed (not on PATH, not /usr/bin/node): no oracle to compare with";

  CaseMaker maker(20240611);
  std::vector<std::string> protectedTexts;
  std::vector<std::u16string> bodies;
  constexpr std::size_t kCases = 12000;
  while (bodies.size() < kCases) {
    std::string t = maker.text();
    // Most cases go through the protections, as replies do; the rest reach the
    // literal reader directly, so that "\u" escapes stay in them.
    if (maker.chance(4)) {
      t = replaceText(t, "'", "");
    } else {
      t = web::protectEscapes(t);
    }
    std::u16string units = gbkToUtf16(t);
    if (leftOut(units)) continue;
    protectedTexts.push_back(t);
    bodies.push_back(std::move(units));
  }

  test::RunDir dir;
  {
    std::ofstream(dir / "oracle.js") << kOracleScript;
    std::ofstream in(dir / "cases.json");
    in << "[";
    for (std::size_t i = 0; i < bodies.size(); ++i) in << (i ? "," : "") << jsonString(bodies[i]);
    in << "]";
  }
  const std::string command = node->string() + " " + (dir / "oracle.js").string() + " < " +
                              (dir / "cases.json").string() + " > " + (dir / "results.json").string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::stringstream json;
  json << std::ifstream(dir / "results.json").rdbuf();
  const std::vector<OracleResult> results = parseResults(json.str());
  ASSERT_EQ(results.size(), bodies.size());

  std::size_t compiled = 0, mismatches = 0;
  for (std::size_t i = 0; i < bodies.size() && mismatches < 20; ++i) {
    SCOPED_TRACE("case " + std::to_string(i) + ": " + jsonString(bodies[i]));
    const OracleResult& expected = results[i];
    ASSERT_EQ(expected.unexpected, "");
    const std::optional<std::u16string> literal = web::readQuotedLiteral(bodies[i]);
    std::optional<std::u16string> ours;
    if (literal) ours = web::unescapeUnits(*literal);
    EXPECT_EQ(ours.has_value(), expected.compiled);
    if (ours && expected.compiled) {
      ++compiled;
      EXPECT_EQ(*ours, expected.value);
      std::u16string cut = expected.value.substr(0, expected.value.find(u'\0'));
      EXPECT_EQ(web::decodeAsQuotedLiteral(protectedTexts[i]), utf16ToGbk(cut));
    } else if (!expected.compiled) {
      EXPECT_EQ(web::decodeAsQuotedLiteral(protectedTexts[i]), "");
    }
    if (ours.has_value() != expected.compiled || (ours && *ours != expected.value)) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0u);
  // Both outcomes must be well represented for the comparison to mean something.
  EXPECT_GT(compiled, kCases / 4);
  EXPECT_LT(compiled, kCases - kCases / 20);
}

}  // namespace
}  // namespace qm
