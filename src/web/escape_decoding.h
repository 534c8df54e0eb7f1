#pragma once

// Turns the escaped replies of the shop and of the region endpoint (JSON or JSONP with
// backslash-u escapes) into plain GBK text. The reply is read as the body of a
// single-quoted script string and passed through the script language's unescape;
// when that gives nothing (the text is no valid string body), a simple percent-escape
// decoder takes over. Line breaks, a leading CR and apostrophes are protected before
// and restored after.

#include <cstdint>
#include <functional>

#include "text/text.h"

namespace qm {

// `handleEvents` is called after each byte the fallback decoder scans, so the window
// thread goes on handling its events.
Text decodeEscapedText(const Text& text, const std::function<void()>& handleEvents = {});
// The fallback decoder: "%u" escapes whose four characters read as a non-zero decimal
// number, and "%" with the two bytes after it.
Text decodePercentEscapes(const Text& text, const std::function<void()>& handleEvents = {});
// The four 16-bit halves of the value (least significant first) as UTF-16 code units,
// up to the first zero unit, in GBK; a unit without a GBK form gives "?".
Text codeToGbkText(int64_t value);

}  // namespace qm
