// Parses arbitrary record file bytes into rows, and checks that rows whose cells hold
// no marker read back as they were written.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "records/record_file.h"

namespace {

// Cells that cannot be taken for a marker or a line end: whole GBK characters, none
// of them a marker byte, CR, LF or zero.
bool plainCell(const std::string& t) {
  std::size_t i = 0;
  while (i < t.size()) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (c >= 0x80) {
      if (i + 1 >= t.size()) return false;
      i += 2;
      continue;
    }
    if (c == 0 || c == '\r' || c == '\n' || c == '-' || c == '|' || c == '@' || c == '#' || c == '&')
      return false;
    ++i;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  qm::RecordCells cells;
  cells.productId = in.ConsumeRandomLengthString(12);
  cells.productName = in.ConsumeRandomLengthString(24);
  cells.region = in.ConsumeRandomLengthString(24);
  cells.wishedPrice = in.ConsumeRandomLengthString(8);
  cells.venderId = in.ConsumeRandomLengthString(8);
  cells.cat = in.ConsumeRandomLengthString(12);
  const std::string file = in.ConsumeRemainingBytesAsString();

  // Every line of the text gives one row.
  const qm::Text text = qm::bytesToText(file);
  if (qm::recordFileRows(text).size() != qm::splitText(text, "\r\n").size()) std::abort();

  if (plainCell(cells.productId) && plainCell(cells.productName) && plainCell(cells.region) &&
      plainCell(cells.wishedPrice) && plainCell(cells.venderId) && plainCell(cells.cat)) {
    const qm::Text line = qm::recordLine(cells);
    const auto rows = qm::recordFileRows(line + line);
    if (rows.size() != 2 || !rows[0] || !(*rows[0] == cells) || !rows[1] || !(*rows[1] == cells))
      std::abort();
  }
  return 0;
}
