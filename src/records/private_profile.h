#pragma once

// Reading and writing one key of an INI file by the rules of the Windows private
// profile functions, over the file's GBK bytes. Pure functions: the caller reads
// and writes the file.
//
// Reading: section and key names match without regard to ASCII case (a two-byte
// character is compared whole); lines end in CR LF, LF or CR. The first section
// line "[name]" that matches is searched for the first key line "key=value" that
// matches; the value has white space (space, tab, VT, FF) trimmed at both ends and one pair of
// enclosing quotes ("..." or '...') removed, and at most 10239 bytes of it are
// given. A missing section or key gives the default (with its trailing spaces
// removed, as Windows does).
//
// Writing: a missing section is appended at the end of the file; an existing key's
// line is rewritten in place as "key=value"; a missing key is added after the last
// non-blank line of its section. Every other byte of the file stays as it was; the
// lines written end in CR LF.

#include <cstddef>
#include <string_view>

#include "text/text.h"

namespace qm {

// The most bytes a read gives (the 10240-byte buffer of the Windows call, less its zero).
inline constexpr std::size_t kProfileValueLimit = 10239;

Text readProfileString(const Bytes& fileContents, std::string_view section, std::string_view key,
                       std::string_view defaultValue);

// The file's new contents after writing the key's value in the section.
Bytes writeProfileString(const Bytes& fileContents, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace qm
