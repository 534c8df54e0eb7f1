// The record file read into and written from the real WatchList.
#include "records/record_file.h"

#include <gtest/gtest.h>

#include <QTableWidget>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "platform/file_access.h"
#include "records/watch_columns.h"
#include "support/scratch_mount.h"
#include "support/window_fixture.h"

namespace qm {
namespace {

using test::g;

std::string fileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void putFile(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

RecordCells cells(std::string id, std::string name, std::string region, std::string price, std::string vender,
                  std::string cat) {
  return {std::move(id),    std::move(name),   std::move(region),
          std::move(price), std::move(vender), std::move(cat)};
}

const RecordCells kMi = cells("100012043978", g("小米手机"), g("北京-1#朝阳区-72+三环以内-2799"), "12.5",
                              "1000004123", "9987,653,655");

class RecordFile : public test::WindowFixture {
 protected:
  std::filesystem::path recordPath() const { return recordFilePath(program.runDir); }

  // Appends a row as adding a product does.
  void addRow(const RecordCells& c) {
    const int row = tk.appendRow(kWatchList);
    tk.setCell(kWatchList, row, Index, integerToText(row + 1));
    tk.setCell(kWatchList, row, ProductId, c.productId);
    tk.setCell(kWatchList, row, ProductName, c.productName);
    tk.setCell(kWatchList, row, Region, c.region);
    tk.setCell(kWatchList, row, WishedPrice, c.wishedPrice);
    tk.setCell(kWatchList, row, VenderId, c.venderId);
    tk.setCell(kWatchList, row, Cat, c.cat);
  }

  // Every cell of the list against the rows a file must give (nothing: Index
  // only).
  void expectRows(const std::vector<std::optional<RecordCells>>& rows, const char* what) {
    ASSERT_EQ(tk.rowCount(kWatchList), static_cast<int>(rows.size())) << what;
    ASSERT_EQ(watchList()->rowCount(), static_cast<int>(rows.size())) << what;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const auto& c = rows[static_cast<std::size_t>(r)];
      const Text none;
      const Text expected[kWatchColumnCount] = {integerToText(r + 1),
                                                c ? c->productId : none,
                                                c ? c->productName : none,
                                                none,
                                                none,
                                                none,
                                                c ? g("二维码") : none,
                                                c ? g("二维码") : none,
                                                c ? g("导入记录") : none,
                                                c ? c->region : none,
                                                c ? c->wishedPrice : none,
                                                c ? c->venderId : none,
                                                c ? c->cat : none};
      for (int col = 0; col < kWatchColumnCount; ++col)
        EXPECT_EQ(tk.cell(kWatchList, r, col), expected[col]) << what << ": row " << r << " column " << col;
    }
  }
};

struct ImportCase {
  const char* what;
  std::optional<std::string> file;  // nothing: a directory of that name
  std::vector<std::optional<RecordCells>> rows;
};

TEST_F(RecordFile, ImportGivesOneRowPerLine) {
  const auto line = recordLine(kMi);
  const RecordCells plain = cells("1", "A", "R", "5", "v", "c");
  const std::string plainLine = recordLine(plain);
  const ImportCase cases[] = {
      {"last line without CR LF", line + plainLine.substr(0, plainLine.size() - 2), {kMi, plain}},
      {"two CR LF at the end", line + "\r\n", {kMi, std::nullopt}},
      {"blank line in the middle", line + "\r\n" + plainLine, {kMi, std::nullopt, plain}},
      {"zero byte",
       line + std::string("2-----B\0||||R@@@@5####v&&&&c\r\n", 30) + plainLine,
       {kMi, std::nullopt}},
      {"name holding ||||",
       "1-----A||||B||||R@@@@5####v&&&&c\r\n",
       {cells("1", "A", "B||||R", "5", "v", "c")}},
      {"----- and one |", "7-----x|y\r\n", {cells("7", "", "", "", "", "")}},
      {"only the markers", "-----||||@@@@####&&&&\r\n", {cells("", "", "", "", "", "")}},
      {"no markers", "hello\r\n" + line, {std::nullopt, kMi}},
      {"----- without |", "7-----x\r\n", {std::nullopt}},
      {"| without -----", "7|x\r\n", {std::nullopt}},
      {"LF alone is no line end",
       "1-----A||||R@@@@5####v&&&&c\n2-----B",
       {cells("1", "A", "R", "5", "v", "c\n2-----B")}},
      {"empty file", "", {}},
      {"directory", std::nullopt, {}},
  };
  for (const ImportCase& c : cases) {
    tk.deleteAllRows(kWatchList);
    std::error_code ec;
    std::filesystem::remove_all(recordPath(), ec);
    if (c.file)
      putFile(recordPath(), *c.file);
    else
      std::filesystem::create_directory(recordPath());
    importRecordFile(program);
    expectRows(c.rows, c.what);
  }
}

TEST_F(RecordFile, ImportShowsTheCellsInTheListView) {
  putFile(recordPath(), recordLine(kMi));
  importRecordFile(program);
  ASSERT_EQ(watchList()->rowCount(), 1);
  EXPECT_EQ(watchList()->item(0, ProductName)->text(), QString::fromUtf8("小米手机"));
  EXPECT_EQ(watchList()->item(0, Status)->text(), QString::fromUtf8("导入记录"));
}

TEST_F(RecordFile, MissingFileImportsNothing) {
  importRecordFile(program);
  EXPECT_EQ(tk.rowCount(kWatchList), 0);
}

TEST_F(RecordFile, RewriteRoundTripsThroughTheList) {
  const std::string file = recordLine(kMi) + recordLine(cells("", "", "", "", "", "")) +
                           recordLine(cells("42", g("名 称"), "", "-3", "", "0"));
  putFile(recordPath(), file);
  importRecordFile(program);
  // What the checks write is not stored.
  tk.setCell(kWatchList, 0, PcPrice, "99.00");
  tk.setCell(kWatchList, 0, Status, g("有货"));
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), file);
}

TEST_F(RecordFile, RowWithOnlyItsIndexBecomesTheMarkers) {
  putFile(recordPath(), "junk\r\n");
  importRecordFile(program);
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), "-----||||@@@@####&&&&\r\n");
}

TEST_F(RecordFile, AddingToThreeImportedGivesFourLinesInListOrder) {
  const RecordCells a = cells("1", "A", "R1", "1", "v1", "c1"), b = cells("2", "B", "R2", "2", "v2", "c2"),
                    c = cells("3", "C", "R3", "3", "v3", "c3");
  putFile(recordPath(), recordLine(a) + recordLine(b) + recordLine(c));
  importRecordFile(program);
  addRow(kMi);
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), recordLine(a) + recordLine(b) + recordLine(c) + recordLine(kMi));
}

TEST_F(RecordFile, DeletingAllRowsLeavesAnEmptyFile) {
  putFile(recordPath(), recordLine(kMi) + recordLine(kMi));
  importRecordFile(program);
  tk.deleteAllRows(kWatchList);
  rewriteRecordFile(program);
  ASSERT_TRUE(std::filesystem::is_regular_file(recordPath()));
  EXPECT_EQ(std::filesystem::file_size(recordPath()), 0u);
}

TEST_F(RecordFile, FirstRewriteCreatesTheFile) {
  addRow(kMi);
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), recordLine(kMi));
}

TEST_F(RecordFile, FullDiskLeavesTheOldFileWhole) {
  test::ScratchMount disk(runDir.path() / "small", 64 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  program.runDir = disk.path();
  const std::string old = recordLine(kMi) + recordLine(kMi);
  putFile(recordPath(), old);
  for (int i = 0; i < 2000; ++i) addRow(kMi);  // about 160 KiB of lines
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), old);
  // No temporary file is left to fill the disk.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk.path()), {}), 1);
}

TEST_F(RecordFile, ReadOnlyRunDirectoryChangesNothing) {
  test::ScratchMount disk(runDir.path() / "ro", 64 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  program.runDir = disk.path();
  const std::string old = recordLine(kMi);
  putFile(recordPath(), old);
  if (!disk.makeReadOnly()) GTEST_SKIP() << "cannot remount read-only";
  addRow(kMi);
  addRow(kMi);
  rewriteRecordFile(program);
  EXPECT_EQ(fileBytes(recordPath()), old);
  EXPECT_EQ(tk.rowCount(kWatchList), 2);
}

TEST_F(RecordFile, MissingRunDirectoryWritesNothing) {
  program.runDir = runDir.path() / "gone";
  addRow(kMi);
  rewriteRecordFile(program);
  EXPECT_FALSE(std::filesystem::exists(program.runDir));
}

}  // namespace
}  // namespace qm
