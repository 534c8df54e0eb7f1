#pragma once

// The pieces of escape decoding, apart so that tests can hold each against a real
// script engine. Internal to web/ and its tests.

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace qm::web {

// The protections: CR LF to "{$}", a leading CR dropped, "\u" to "%u", "'" to "’".
Text protectEscapes(const Text& text);
// Their undoing on the decoded text: "’" to "'", "{$}" to CR LF.
Text restoreProtected(const Text& text);

// The string value of `body` read as the body of a single-quoted ECMAScript string
// literal (sloppy mode, with the legacy octal escapes); none when it is no valid body:
// a bare CR or LF, a "'", a backslash that would escape the closing quote, or a "\x",
// "\u" or "\u{...}" without its hexadecimal digits. A backslash before a line break
// is a line continuation. Replies never hold those last cases; the rules are node's.
std::optional<std::u16string> readQuotedLiteral(std::u16string_view body);
// The ECMAScript unescape function: "%uXXXX" and "%XX" to their code units.
std::u16string unescapeUnits(std::u16string_view units);
// The main path on protected text: literal, unescape, GBK, cut at a zero unit. Empty
// when the text is no valid literal body.
Text decodeAsQuotedLiteral(const Text& protectedText);

}  // namespace qm::web
