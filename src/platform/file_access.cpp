#include "platform/file_access.h"

#include <atomic>
#include <random>
#include <string>
#include <system_error>

#include "platform/file_access_internal.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qm {

namespace detail {

std::atomic<WriteStep> fileWriteStep{nativeWrite};

#ifdef _WIN32
std::ptrdiff_t nativeWrite(NativeFile file, const char* data, std::size_t n) {
  DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(file), data, chunk, &written, nullptr) || written == 0) return -1;
  return static_cast<std::ptrdiff_t>(written);
}
#else
std::ptrdiff_t nativeWrite(NativeFile file, const char* data, std::size_t n) {
  for (;;) {
    ssize_t written = ::write(static_cast<int>(file), data, n);
    if (written > 0) return written;
    if (written < 0 && errno == EINTR) continue;
    return -1;
  }
}
#endif

}  // namespace detail

namespace {

bool writeAll(detail::NativeFile file, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    std::ptrdiff_t written = detail::fileWriteStep.load()(file, p, left);
    if (written <= 0 || static_cast<std::size_t>(written) > left) return false;
    p += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// A name for the temporary file beside the target that no other writer picks.
std::filesystem::path temporarySibling(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  std::filesystem::path name = path.filename();
  name += "." + std::to_string(seed) + "-" + std::to_string(counter.fetch_add(1)) + ".tmp";
  return path.parent_path() / name;
}

}  // namespace

bool nameExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

#ifdef _WIN32

std::optional<Bytes> readWholeFile(const std::filesystem::path& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(h);
    return std::nullopt;
  }
  Bytes out;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
      CloseHandle(h);
      return std::nullopt;
    }
    if (got == 0) break;
    out.append(buffer, got);
  }
  CloseHandle(h);
  return out;
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool /*ownerOnly*/) {
  if (path.filename().empty()) return false;
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path temp = temporarySibling(path);
    HANDLE h =
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    bool ok = writeAll(reinterpret_cast<detail::NativeFile>(h), bytes) && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    ok = ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
  }
  return false;
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  HANDLE h =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = writeAll(reinterpret_cast<detail::NativeFile>(h), bytes);
  return CloseHandle(h) && ok;
}

std::filesystem::path executableDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer).parent_path();
    }
    buffer.resize(buffer.size() * 2);
  }
}

#else

std::optional<Bytes> readWholeFile(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  Bytes out;
  if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return out;
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, bool ownerOnly) {
  if (path.filename().empty()) return false;
  struct stat existing;
  bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return false;

  // A new file gets 0644 less the umask, which open() applies for us; a replaced
  // file keeps its permissions; owner-only files are 0600 whatever was there.
  mode_t createMode = ownerOnly ? 0600 : 0644;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path temp = temporarySibling(path);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    bool ok = true;
    if (ownerOnly)
      ok = ::fchmod(fd, 0600) == 0;
    else if (exists && S_ISREG(existing.st_mode))
      ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = ok && writeAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    // Make the rename itself durable; the replace has happened either way.
    std::filesystem::path dir = path.parent_path();
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
    return true;
  }
  return false;
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes);
  return ::close(fd) == 0 && ok;
}

std::filesystem::path executableDirectory() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return exe.parent_path();
}

#endif

}  // namespace qm
