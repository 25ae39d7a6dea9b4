#include "overlay/folder_marking_platform.h"

namespace tarnwick {

DWORD Win32FolderMarkingPlatform::DriveTypeOf(const WideChar* root) { return GetDriveTypeW(root); }

DWORD Win32FolderMarkingPlatform::AttributesOf(const WideChar* path) {
  return GetFileAttributesW(path);
}

bool Win32FolderMarkingPlatform::OpenListing(const WideChar* pattern, ListingEntry& first,
                                             Listing& listing) {
  // Basic information skips the 8.3 names; large fetch reads a folder of many files in few
  // requests.
  HANDLE handle = FindFirstFileExW(pattern, FindExInfoBasic, &first, FindExSearchLimitToDirectories,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (handle == INVALID_HANDLE_VALUE) return false;
  listing = handle;
  return true;
}

bool Win32FolderMarkingPlatform::NextListingEntry(Listing listing, ListingEntry& entry) {
  return FindNextFileW(listing, &entry) != FALSE;
}

void Win32FolderMarkingPlatform::CloseListing(Listing listing) { FindClose(listing); }

std::uint64_t Win32FolderMarkingPlatform::TickCountMs() { return GetTickCount64(); }

void Win32FolderMarkingPlatform::UpperCaseInPlace(WideString& text) { CharUpperW(text.data()); }

FolderMarkingPlatform& SystemFolderMarkingPlatform() {
  static Win32FolderMarkingPlatform platform;
  return platform;
}

}  // namespace tarnwick
