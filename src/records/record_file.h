#pragma once

// The record file "京东监控记录.txt" in the run directory: one GBK line per watched
// product, "id-----name||||region@@@@price####venderId&&&&cat\r\n", nothing escaped.

#include <filesystem>
#include <optional>
#include <vector>

#include "config/program.h"
#include "text/text.h"

namespace qm {

// The stored cells of one WatchRow.
struct RecordCells {
  Text productId;
  Text productName;
  Text region;
  Text wishedPrice;
  Text venderId;
  Text cat;
  bool operator==(const RecordCells&) const = default;
};

// The record file's path in a run directory.
std::filesystem::path recordFilePath(const std::filesystem::path& runDir);

// The cells a line gives; nothing when the line lacks "-----" or any "|" (such a
// line still gives a row, with only its Index filled).
std::optional<RecordCells> parseRecordLine(const Text& line);
// One entry per line of the file's text, in file order.
std::vector<std::optional<RecordCells>> recordFileRows(const Text& contents);
// The line of one row, its "\r\n" included.
Text recordLine(const RecordCells& cells);

// Writes the whole WatchList to the record file, replacing it in one step: on any
// failure the old file stays whole. Silent.
void rewriteRecordFile(Program& program);
// Appends one WatchRow per line of the record file. Silent when it cannot be read.
void importRecordFile(Program& program);

}  // namespace qm
