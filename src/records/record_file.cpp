#include "records/record_file.h"

#include "platform/file_access.h"
#include "records/watch_columns.h"
#include "text/gbk.h"

namespace qm {

std::filesystem::path recordFilePath(const std::filesystem::path& runDir) {
  return runDir / std::filesystem::path(u8"京东监控记录.txt");
}

std::optional<RecordCells> parseRecordLine(const Text& line) {
  if (findText(line, "-----") == -1 || findText(line, "|") == -1) return std::nullopt;
  RecordCells c;
  c.productId = textBefore(line, "-----");
  c.productName = textBetween(line, "-----", "||||");
  c.region = textBetween(line, "||||", "@@@@");
  c.wishedPrice = textBetween(line, "@@@@", "####");
  c.venderId = textBetween(line, "####", "&&&&");
  c.cat = textAfterLast(line, "&&&&");
  return c;
}

std::vector<std::optional<RecordCells>> recordFileRows(const Text& contents) {
  std::vector<std::optional<RecordCells>> rows;
  for (const Text& line : splitText(contents, "\r\n")) rows.push_back(parseRecordLine(line));
  return rows;
}

Text recordLine(const RecordCells& c) {
  Text line;
  line.reserve(c.productId.size() + c.productName.size() + c.region.size() + c.wishedPrice.size() +
               c.venderId.size() + c.cat.size() + 24);
  line.append(c.productId).append("-----").append(c.productName).append("||||").append(c.region);
  line.append("@@@@").append(c.wishedPrice).append("####").append(c.venderId).append("&&&&").append(c.cat);
  line.append("\r\n");
  return line;
}

void rewriteRecordFile(Program& program) {
  WindowToolkit& tk = program.tk;
  // The whole contents are built first and replace the file in one step, so a full
  // disk or a crash part-way never leaves a cut-off list behind.
  Bytes contents;
  const int n = tk.rowCount(kWatchList);
  for (int row = 0; row < n; ++row) {
    RecordCells c;
    c.productId = tk.cell(kWatchList, row, ProductId);
    c.productName = tk.cell(kWatchList, row, ProductName);
    c.region = tk.cell(kWatchList, row, Region);
    c.wishedPrice = tk.cell(kWatchList, row, WishedPrice);
    c.venderId = tk.cell(kWatchList, row, VenderId);
    c.cat = tk.cell(kWatchList, row, Cat);
    contents += recordLine(c);
  }
  replaceFileAtomically(recordFilePath(program.runDir), contents);
}

void importRecordFile(Program& program) {
  const auto bytes = readWholeFile(recordFilePath(program.runDir));
  if (!bytes) return;
  WindowToolkit& tk = program.tk;
  const Text& qrLabel = QM_GBK("二维码");
  const Text& imported = QM_GBK("导入记录");
  int64_t number = 0;
  for (const auto& cells : recordFileRows(bytesToText(*bytes))) {
    const int row = tk.appendRow(kWatchList);
    tk.setCell(kWatchList, row, Index, integerToText(++number));
    if (!cells) continue;
    tk.setCell(kWatchList, row, ProductId, cells->productId);
    tk.setCell(kWatchList, row, ProductName, cells->productName);
    tk.setCell(kWatchList, row, MobileQr, qrLabel);
    tk.setCell(kWatchList, row, WeChatQr, qrLabel);
    tk.setCell(kWatchList, row, Status, imported);
    tk.setCell(kWatchList, row, Region, cells->region);
    tk.setCell(kWatchList, row, WishedPrice, cells->wishedPrice);
    tk.setCell(kWatchList, row, VenderId, cells->venderId);
    tk.setCell(kWatchList, row, Cat, cells->cat);
  }
}

}  // namespace qm
