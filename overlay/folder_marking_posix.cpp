#include "overlay/folder_marking_platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <time.h>
#include <wctype.h>

#include <algorithm>

namespace tarnwick {
namespace {

// statfs magic numbers of file systems that live on another machine.
constexpr unsigned long kNetworkFileSystems[] = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x5346414F,  // AFS
    0x73757245,  // Coda
    0x564C,      // NCP
    0x00C36400,  // Ceph
    0x01021997,  // 9P
};

WideChar AsciiUpper(WideChar letter) {
  return (letter >= WIDE('a') && letter <= WIDE('z')) ? static_cast<WideChar>(letter - 0x20)
                                                      : letter;
}

void FillEntry(DIR* directory, const dirent& found, ListingEntry& entry) {
  bool isDirectory = found.d_type == DT_DIR;
  // Without a type from the file system, and for links, ask stat: a link to a folder counts as a
  // subfolder, as a directory link does on Windows.
  if (found.d_type == DT_UNKNOWN || found.d_type == DT_LNK) {
    struct stat status;
    isDirectory =
        fstatat(dirfd(directory), found.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
  }
  entry.dwFileAttributes = isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0x80;  // FILE_ATTRIBUTE_NORMAL
  const WideString name = WideFromUtf8(found.d_name);
  const std::size_t length = std::min<std::size_t>(name.size(), 259);
  std::copy_n(name.data(), length, entry.cFileName);
  entry.cFileName[length] = 0;
}

bool ReadEntry(DIR* directory, ListingEntry& entry) {
  const dirent* found = readdir(directory);
  if (found == nullptr) return false;
  FillEntry(directory, *found, entry);
  return true;
}

locale_t Utf8Locale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return locale;
}

}  // namespace

PosixFolderMarkingPlatform::PosixFolderMarkingPlatform() : drives_{{WIDE('C'), "/"}} {}

PosixFolderMarkingPlatform::PosixFolderMarkingPlatform(DriveMap drives) {
  for (auto& [letter, folder] : drives) drives_[AsciiUpper(letter)] = folder;
}

std::string PosixFolderMarkingPlatform::LocalPath(WideStringView windowsPath) const {
  if (windowsPath.size() < 2 || windowsPath[1] != WIDE(':')) return {};
  const auto drive = drives_.find(AsciiUpper(windowsPath[0]));
  if (drive == drives_.end()) return {};
  std::string folder = drive->second;
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  std::string rest = Utf8FromWide(windowsPath.substr(2));
  std::replace(rest.begin(), rest.end(), '\\', '/');
  if (rest.empty()) return folder.empty() ? "/" : folder;
  if (rest.front() != '/') folder.push_back('/');
  return folder + rest;
}

DWORD PosixFolderMarkingPlatform::DriveTypeOf(const WideChar* root) {
  const std::string folder = LocalPath(root);
  if (folder.empty()) return DRIVE_NO_ROOT_DIR;
  struct statfs fileSystem;
  if (statfs(folder.c_str(), &fileSystem) != 0) return DRIVE_NO_ROOT_DIR;
  const auto type = static_cast<unsigned long>(fileSystem.f_type);
  for (unsigned long network : kNetworkFileSystems) {
    if (type == network) return DRIVE_REMOTE;
  }
  return DRIVE_FIXED;
}

DWORD PosixFolderMarkingPlatform::AttributesOf(const WideChar* path) {
  const std::string local = LocalPath(path);
  struct stat status;
  if (local.empty() || stat(local.c_str(), &status) != 0) return INVALID_FILE_ATTRIBUTES;
  return S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0x80;
}

bool PosixFolderMarkingPlatform::OpenListing(const WideChar* pattern, ListingEntry& first,
                                             Listing& listing) {
  WideStringView folder(pattern);
  if (folder.empty() || folder.back() != WIDE('*')) return false;
  folder.remove_suffix(1);
  const std::string local = LocalPath(folder);
  if (local.empty()) return false;
  DIR* directory = opendir(local.c_str());
  if (directory == nullptr) return false;
  if (!ReadEntry(directory, first)) {
    closedir(directory);
    return false;
  }
  listing = directory;
  return true;
}

bool PosixFolderMarkingPlatform::NextListingEntry(Listing listing, ListingEntry& entry) {
  return ReadEntry(static_cast<DIR*>(listing), entry);
}

void PosixFolderMarkingPlatform::CloseListing(Listing listing) {
  closedir(static_cast<DIR*>(listing));
}

std::uint64_t PosixFolderMarkingPlatform::TickCountMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

void PosixFolderMarkingPlatform::UpperCaseInPlace(WideString& text) {
  const locale_t locale = Utf8Locale();
  for (WideChar& unit : text) {
    if (unit >= 0xD800 && unit < 0xE000) continue;  // halves of a pair stay as they are
    const auto upper = locale != nullptr ? towupper_l(unit, locale) : towupper(unit);
    if (upper <= 0xFFFF && !(upper >= 0xD800 && upper < 0xE000))
      unit = static_cast<WideChar>(upper);
  }
}

FolderMarkingPlatform& SystemFolderMarkingPlatform() {
  static PosixFolderMarkingPlatform platform;
  return platform;
}

}  // namespace tarnwick
