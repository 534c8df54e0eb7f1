#pragma once

// Test seam of the file access layer. Every byte that replaceFileAtomically and
// writeWholeFile write goes through fileWriteStep, so a test can make the disk
// "fill up" at any byte without a special file system:
//
//   qm::detail::fileWriteStep = [](qm::detail::NativeFile f, const char* p, std::size_t n) {
//     return n > 10 ? qm::detail::nativeWrite(f, p, 10) : -1;  // 10 bytes, then ENOSPC
//   };
//   ... test ...
//   qm::detail::fileWriteStep = qm::detail::nativeWrite;
//
// (On Linux, as root, a real full disk is also at hand: `mount -t tmpfs -o size=64k
// tmpfs DIR` gives a directory that takes only 64 KiB.)

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace qm::detail {

// A file descriptor on POSIX, a HANDLE on Windows.
using NativeFile = std::intptr_t;
// Writes up to n bytes; gives how many were written (at least 1), or -1 on failure.
using WriteStep = std::ptrdiff_t (*)(NativeFile file, const char* data, std::size_t n);

std::ptrdiff_t nativeWrite(NativeFile file, const char* data, std::size_t n);

// The step every write goes through; nativeWrite unless a test has replaced it.
extern std::atomic<WriteStep> fileWriteStep;

}  // namespace qm::detail
