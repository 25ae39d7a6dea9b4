#pragma once
// The system's implementation of folder marking's platform: KERNEL32 and USER32 on Windows,
// POSIX on Linux, where drive letters map to folders.

#include <map>
#include <string>

#include "overlay/folder_marking.h"

namespace tarnwick {

#if defined(_WIN32)
class Win32FolderMarkingPlatform final : public FolderMarkingPlatform {
 public:
  DWORD DriveTypeOf(const WideChar* root) override;
  DWORD AttributesOf(const WideChar* path) override;
  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override;
  bool NextListingEntry(Listing listing, ListingEntry& entry) override;
  void CloseListing(Listing listing) override;
  std::uint64_t TickCountMs() override;
  void UpperCaseInPlace(WideString& text) override;
};
#else
// A drive letter names a folder ("C:" is "/" unless mapped otherwise). Local file systems count as
// fixed drives, network file systems as remote ones; an unmapped letter has no root.
class PosixFolderMarkingPlatform final : public FolderMarkingPlatform {
 public:
  using DriveMap = std::map<WideChar, std::string>;

  PosixFolderMarkingPlatform();
  explicit PosixFolderMarkingPlatform(DriveMap drives);

  DWORD DriveTypeOf(const WideChar* root) override;
  DWORD AttributesOf(const WideChar* path) override;
  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override;
  bool NextListingEntry(Listing listing, ListingEntry& entry) override;
  void CloseListing(Listing listing) override;
  std::uint64_t TickCountMs() override;
  void UpperCaseInPlace(WideString& text) override;

  // "X:\a\b" as a local path, or empty when its drive letter is not mapped.
  std::string LocalPath(WideStringView windowsPath) const;

 private:
  DriveMap drives_;
};
#endif

// The platform the product uses, one per process.
FolderMarkingPlatform& SystemFolderMarkingPlatform();

}  // namespace tarnwick
