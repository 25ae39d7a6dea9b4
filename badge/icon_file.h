#pragma once
// Where the icon writer puts its bytes: the file system on Windows (KERNEL32) and natively
// (POSIX), and fakes in the tests that fail part-way.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "common/wide.h"

namespace tarnwick {

// One file being written. Every result counts: a short write (disk full) is a failure.
class FileSink {
 public:
  virtual ~FileSink() = default;
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // Closes the file; false when closing reported an error. Called once.
  virtual bool Close() = 0;
};

class IconFileSystem {
 public:
  virtual ~IconFileSystem() = default;
  // Creates a file that must not exist yet; null when it cannot (missing folder, name taken,
  // access denied). The sink's destructor closes the file if Close was not called.
  virtual std::unique_ptr<FileSink> CreateNew(const WideChar* path) = 0;
  // Puts the file `from` in the place of `to` in one step, replacing a file there. Neither this
  // nor Remove throws: they run while a failed write is being cleaned up.
  virtual bool Replace(const WideChar* from, const WideChar* to) noexcept = 0;
  virtual void Remove(const WideChar* path) noexcept = 0;
  // Tells this process's temporary files from another's.
  virtual std::uint32_t ProcessId() noexcept = 0;
};

// The real file system, one per process.
IconFileSystem& SystemIconFileSystem();

#if defined(_WIN32)
// The form of `path` the file calls take whatever its length: a drive or UNC path of MAX_PATH
// units or more in its \\?\ or \\?\UNC\ form, any other path as it is.
std::wstring WithoutPathLimit(const WideChar* path);
#endif

}  // namespace tarnwick
