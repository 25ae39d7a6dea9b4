#include <windows.h>

#include <limits>
#include <new>
#include <string>

#include "badge/icon_file.h"
#include "common/unique_handle.h"

namespace tarnwick {

// A plain path of MAX_PATH units or more is refused by these calls, and the temporary name beside
// a target is up to 22 units longer than the target, so a badge path from a long %APPDATA% could
// not be written. Fully qualified paths that long, on a drive or on a share, take the long form
// (\\?\C:\..., \\?\UNC\server\share\...), which lifts the limit; they come normalised from the
// caller, as that form requires.
std::wstring WithoutPathLimit(const WideChar* path) {
  std::wstring text(path);
  if (text.size() < MAX_PATH) return text;
  if (text[1] == L':' && text[2] == L'\\') return L"\\\\?\\" + text;
  if (text[0] == L'\\' && text[1] == L'\\' && text[2] != L'?' && text[2] != L'.') {
    return L"\\\\?\\UNC" + text.substr(1);
  }
  return text;
}

namespace {

class Win32FileSink final : public FileSink {
 public:
  bool Open(const WideChar* path) {
    file_.reset(CreateFileW(WithoutPathLimit(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file_);
  }

  bool Write(const std::uint8_t* data, std::size_t size) override {
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(
          size < std::numeric_limits<DWORD>::max() ? size : std::numeric_limits<DWORD>::max());
      DWORD written = 0;
      if (!WriteFile(file_.get(), data, chunk, &written, nullptr) || written == 0) return false;
      data += written;
      size -= written;
    }
    return true;
  }

  bool Close() override { return CloseHandle(file_.release()) != FALSE; }

 private:
  UniqueKernelHandle file_;
};

class Win32IconFileSystem final : public IconFileSystem {
 public:
  // The sink exists before the file does, so no allocation can fail with the file made.
  std::unique_ptr<FileSink> CreateNew(const WideChar* path) override {
    auto sink = std::make_unique<Win32FileSink>();
    if (!sink->Open(path)) return nullptr;
    return sink;
  }

  // A target that someone holds open without delete sharing cannot be replaced: the call fails
  // and the old file stays whole.
  bool Replace(const WideChar* from, const WideChar* to) noexcept override {
    try {
      return MoveFileExW(WithoutPathLimit(from).c_str(), WithoutPathLimit(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING) != FALSE;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  void Remove(const WideChar* path) noexcept override {
    try {
      DeleteFileW(WithoutPathLimit(path).c_str());
    } catch (const std::bad_alloc&) {
      // The temporary file stays behind under its own name; the target is untouched.
    }
  }

  std::uint32_t ProcessId() noexcept override { return GetCurrentProcessId(); }
};

}  // namespace

IconFileSystem& SystemIconFileSystem() {
  static Win32IconFileSystem fileSystem;
  return fileSystem;
}

}  // namespace tarnwick
