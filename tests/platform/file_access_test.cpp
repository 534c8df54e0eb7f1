#include "platform/file_access.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>

#include "platform/file_access_internal.h"
#include "support/permissions.h"
#include "support/run_dir.h"

namespace fs = std::filesystem;
using qm::test::RunDir;

namespace {

void put(const fs::path& p, std::string_view bytes) {
  std::ofstream(p, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

unsigned modeOf(const fs::path& p) {
  struct stat st;
  EXPECT_EQ(::stat(p.c_str(), &st), 0);
  return st.st_mode & 07777;
}

size_t entriesIn(const fs::path& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
}

// Lets the write step fail after `allowed` bytes, as a full disk does; undone at the end.
class FailingWrites {
 public:
  explicit FailingWrites(size_t allowed) {
    allowed_ = allowed;
    qm::detail::fileWriteStep = [](qm::detail::NativeFile f, const char* p, size_t n) -> std::ptrdiff_t {
      if (allowed_ == 0) return -1;
      std::ptrdiff_t w = qm::detail::nativeWrite(f, p, std::min(n, allowed_));
      if (w > 0) allowed_ -= static_cast<size_t>(w);
      return w;
    };
  }
  ~FailingWrites() { qm::detail::fileWriteStep = qm::detail::nativeWrite; }

 private:
  static inline size_t allowed_ = 0;
};

const std::string withZeros("GBK \xD6\xD0\xCE\xC4\0\r\nend", 14);

}  // namespace

TEST(FileAccess, NameExistsForFileAndDirectoryNotForMissing) {
  RunDir run;
  put(run / "file.txt", "x");
  fs::create_directory(run / "dir");
  fs::create_symlink(run / "nowhere", run / "dangling");
  struct Case {
    const char* name;
    bool exists;
  } cases[] = {
      {"file.txt", true}, {"dir", true}, {"missing", false}, {"dangling", false}, {"dir/missing", false}};
  for (const auto& c : cases) EXPECT_EQ(qm::nameExists(run / c.name), c.exists) << c.name;
}

TEST(FileAccess, ReadsEveryByteOfARegularFileAndNothingElse) {
  RunDir run;
  put(run / "data", withZeros);
  put(run / "empty", "");
  fs::create_directory(run / "dir");
  EXPECT_EQ(qm::readWholeFile(run / "data"), withZeros);
  EXPECT_EQ(qm::readWholeFile(run / "empty"), std::string());
  EXPECT_EQ(qm::readWholeFile(run / "missing"), std::nullopt);
  EXPECT_EQ(qm::readWholeFile(run / "dir"), std::nullopt);
}

TEST(FileAccess, UnreadableFileReadsAsNothing) {
  RunDir run;
  put(run / "secret", "x");
  fs::permissions(run / "secret", fs::perms::none);
  qm::test::ObeyPermissions obey;
  if (!obey.active()) GTEST_SKIP() << "permissions do not bind this process";
  EXPECT_EQ(qm::readWholeFile(run / "secret"), std::nullopt);
}

TEST(FileAccess, ReplaceWritesNewAndReplacesExistingFiles) {
  RunDir run;
  const std::string big(300000, 'q');
  EXPECT_TRUE(qm::replaceFileAtomically(run / "new.txt", withZeros));
  EXPECT_EQ(slurp(run / "new.txt"), withZeros);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "new.txt", big));
  EXPECT_EQ(slurp(run / "new.txt"), big);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "new.txt", ""));
  EXPECT_EQ(slurp(run / "new.txt"), "");
  EXPECT_EQ(entriesIn(run.path()), 1u) << "no temporary file stays behind";
}

TEST(FileAccess, ReplaceKeepsTheOldFileWholeWhenAWriteFails) {
  for (size_t allowed : {size_t{0}, size_t{1}, size_t{4096}}) {
    RunDir run;
    put(run / "records.txt", "old contents");
    {
      FailingWrites full(allowed);
      EXPECT_FALSE(qm::replaceFileAtomically(run / "records.txt", std::string(10000, 'n'))) << allowed;
      EXPECT_FALSE(qm::replaceFileAtomically(run / "fresh.txt", std::string(10000, 'n'))) << allowed;
    }
    EXPECT_EQ(slurp(run / "records.txt"), "old contents");
    EXPECT_FALSE(fs::exists(run / "fresh.txt"));
    EXPECT_EQ(entriesIn(run.path()), 1u) << "the temporary file is removed";
  }
}

TEST(FileAccess, ReplaceOnAFullFileSystemKeepsTheOldFile) {
  RunDir run;
  fs::path small = run / "small";
  fs::create_directory(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  put(small / "records.txt", "old contents");
  EXPECT_FALSE(qm::replaceFileAtomically(small / "records.txt", std::string(200000, 'n')));
  EXPECT_FALSE(qm::writeWholeFile(small / "other.txt", std::string(200000, 'n')));
  EXPECT_EQ(slurp(small / "records.txt"), "old contents");
  EXPECT_EQ(entriesIn(small), 2u);  // records.txt and the partial other.txt
  ::umount2(small.c_str(), MNT_DETACH);
}

TEST(FileAccess, ReplaceFailsInAReadOnlyDirectory) {
  RunDir run;
  fs::path dir = run / "ro";
  fs::create_directory(dir);
  put(dir / "records.txt", "old contents");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  qm::test::ObeyPermissions obey;
  if (!obey.active()) GTEST_SKIP() << "permissions do not bind this process";
  EXPECT_FALSE(qm::replaceFileAtomically(dir / "records.txt", "new"));
  EXPECT_FALSE(qm::replaceFileAtomically(dir / "other.txt", "new"));
  EXPECT_FALSE(qm::writeWholeFile(dir / "other.txt", "new"));
  EXPECT_EQ(slurp(dir / "records.txt"), "old contents");
  EXPECT_EQ(entriesIn(dir), 1u);
}

TEST(FileAccess, ADirectoryNamedLikeTheFileIsNeverReplaced) {
  RunDir run;
  fs::create_directory(run / "autio.mp3");
  put(run / "autio.mp3" / "inside", "x");
  EXPECT_FALSE(qm::replaceFileAtomically(run / "autio.mp3", "sound"));
  EXPECT_FALSE(qm::writeWholeFile(run / "autio.mp3", "sound"));
  EXPECT_TRUE(fs::is_directory(run / "autio.mp3"));
  EXPECT_EQ(slurp(run / "autio.mp3" / "inside"), "x");
  EXPECT_EQ(entriesIn(run.path()), 1u);
}

TEST(FileAccess, ReplaceSetsOwnerOnlyOrKeepsTheModeOfTheFile) {
  RunDir run;
  mode_t mask = ::umask(022);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "fresh", "x"));
  EXPECT_EQ(modeOf(run / "fresh"), 0644u);
  put(run / "shared", "x");
  fs::permissions(run / "shared", static_cast<fs::perms>(0640));
  EXPECT_TRUE(qm::replaceFileAtomically(run / "shared", "y"));
  EXPECT_EQ(modeOf(run / "shared"), 0640u);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "shared", "z", true));
  EXPECT_EQ(modeOf(run / "shared"), 0600u);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "private", "z", true));
  EXPECT_EQ(modeOf(run / "private"), 0600u);
  ::umask(077);
  EXPECT_TRUE(qm::replaceFileAtomically(run / "masked", "x"));
  EXPECT_EQ(modeOf(run / "masked"), 0600u);
  ::umask(mask);
}

TEST(FileAccess, WriteWholeFileCreatesOrTruncates) {
  RunDir run;
  put(run / "f", "a much longer old text");
  EXPECT_TRUE(qm::writeWholeFile(run / "f", withZeros));
  EXPECT_EQ(slurp(run / "f"), withZeros);
  EXPECT_TRUE(qm::writeWholeFile(run / "g", "new"));
  EXPECT_EQ(slurp(run / "g"), "new");
  FailingWrites full(2);
  EXPECT_FALSE(qm::writeWholeFile(run / "h", "more than two"));
}

TEST(FileAccess, ExecutableDirectoryHoldsThisProgram) {
  EXPECT_EQ(qm::executableDirectory(), fs::path(QCoreApplication::applicationDirPath().toStdString()));
  EXPECT_TRUE(fs::exists(qm::executableDirectory() / "test_platform"));
}
