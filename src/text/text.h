#pragma once

// The GBK text model: texts are GBK byte strings without zero bytes, positions are
// 1-based byte positions, and a search that finds nothing gives -1. Searches step
// by character: one byte below 0x80, two bytes from a lead byte of 0x80 or more on.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

using Text = std::string;      // GBK bytes, no zero byte inside
using Bytes = std::string;     // raw bytes, zero bytes allowed
using TextList = std::vector<Text>;

// Bytes up to, not including, the first zero byte.
Text bytesToText(std::string_view bytes);
Text integerToText(int64_t value);

int64_t textLength(std::string_view t);

// First occurrence of s at or after `start` (absent: the whole text); -1 when none.
int64_t findText(std::string_view t, std::string_view s, std::optional<int64_t> start = std::nullopt,
                 bool ignoreCase = false);
// Last occurrence lying wholly before `start` (absent: the whole text); -1 when none.
int64_t findLastText(std::string_view t, std::string_view s, std::optional<int64_t> start = std::nullopt,
                     bool ignoreCase = false);

Text leftText(std::string_view t, int64_t n);
Text rightText(std::string_view t, int64_t n);
Text midText(std::string_view t, int64_t s, int64_t n);

// Replaces occurrences of `oldText` from `start` on, at most `count` of them (absent: all).
Text replaceText(std::string_view t, std::string_view oldText, std::string_view newText = {},
                 int64_t start = 1, std::optional<int64_t> count = std::nullopt, bool ignoreCase = false);

TextList splitText(std::string_view t, std::string_view sep);
Text trimSpaces(std::string_view t);
Text toUpperText(std::string_view t);
Text toLowerText(std::string_view t);

int32_t textToInteger(std::string_view t);
double textToNumber(std::string_view t);
int64_t hexValue(std::string_view t);

// Extraction helpers.
Text textBefore(std::string_view t, std::string_view marker);
Text textAfterLast(std::string_view t, std::string_view marker);
Text textBetween(std::string_view t, std::string_view left, std::string_view right);

// Fills `list` with every non-empty trimmed text between a left marker and the next
// right marker (ASCII case ignored); returns its length. Calls `handleEvents` three
// times after every pass, so the calling thread's window events go on being handled.
int64_t allTextsBetween(std::string_view t, std::string_view left, std::string_view right, TextList& list,
                        const std::function<void()>& handleEvents = {});

}  // namespace qm
