#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <new>
#include <string>

#include "badge/icon_file.h"

namespace tarnwick {
namespace {

class PosixFileSink final : public FileSink {
 public:
  bool Open(const std::string& path) {
    descriptor_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return descriptor_ >= 0;
  }
  ~PosixFileSink() override {
    if (descriptor_ >= 0) close(descriptor_);
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t written = write(descriptor_, data, size);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) return false;
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  // close's error is final: the descriptor is gone even when it fails, so it is not retried.
  bool Close() override {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return close(descriptor) == 0;
  }

 private:
  int descriptor_ = -1;
};

// Paths are UTF-16 everywhere above this seam; the native file system takes UTF-8. Converting
// allocates, so Replace and Remove catch exhaustion themselves rather than throw.
class PosixIconFileSystem final : public IconFileSystem {
 public:
  // The sink exists before the file does, so no allocation can fail with the file made.
  std::unique_ptr<FileSink> CreateNew(const WideChar* path) override {
    auto sink = std::make_unique<PosixFileSink>();
    if (!sink->Open(Utf8FromWide(path))) return nullptr;
    return sink;
  }

  bool Replace(const WideChar* from, const WideChar* to) noexcept override {
    try {
      return rename(Utf8FromWide(from).c_str(), Utf8FromWide(to).c_str()) == 0;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  void Remove(const WideChar* path) noexcept override {
    try {
      unlink(Utf8FromWide(path).c_str());
    } catch (const std::bad_alloc&) {
      // The temporary file stays behind under its own name; the target is untouched.
    }
  }

  std::uint32_t ProcessId() noexcept override { return static_cast<std::uint32_t>(getpid()); }
};

}  // namespace

IconFileSystem& SystemIconFileSystem() {
  static PosixIconFileSystem fileSystem;
  return fileSystem;
}

}  // namespace tarnwick
