#include "overlay/folder_marking.h"

#if defined(_WIN32)
#include "overlay/structured_exception_guard.h"
#endif

namespace tarnwick {
namespace {

constexpr WideChar kBackslash = 0x005C;
constexpr WideChar kColon = 0x003A;
constexpr WideChar kDot = 0x002E;

bool IsDotOrDotDot(const WideChar* name) {
  return name[0] == kDot && (name[1] == 0 || (name[1] == kDot && name[2] == 0));
}

// Cheapest tests first: the path's form, then the drive, then the attributes, and only then the
// listing. The drive type and attributes are asked anew on every call.
HRESULT DecideUnguarded(const WideChar* path, FolderMarkingPlatform& platform,
                        SubfolderAnswers& answers) {
  if (path == nullptr) return S_FALSE;
  // Two code units at least, the second a colon: UNC paths, \\?\ paths and relative paths end
  // here, before any system call.
  if (path[0] == 0 || path[1] != kColon) return S_FALSE;
  const WideChar root[4] = {path[0], kColon, kBackslash, 0};
  if (platform.DriveTypeOf(root) != DRIVE_FIXED) return S_FALSE;
  const DWORD attributes = platform.AttributesOf(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return S_FALSE;
  }
  return answers.QueryHasSubfolder(path, platform) ? S_FALSE : S_OK;
}

FolderClassificationCache processCache;

}  // namespace

bool ScanForSubfolder(const WideChar* path, FolderMarkingPlatform& platform) {
  WideString pattern(path);
  // Only '\' is a separator here; "C:/Data" becomes "C:/Data\*", as Windows reads it.
  if (!pattern.empty() && pattern.back() != kBackslash) pattern.push_back(kBackslash);
  pattern.push_back(WIDE('*'));

  ListingEntry entry;
  FolderMarkingPlatform::Listing listing = nullptr;
  if (!platform.OpenListing(pattern.c_str(), entry, listing)) return false;

  bool hasSubfolder = false;
  do {
    // The directories-only hint does not bind every file system, so files still come back.
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
    if (IsDotOrDotDot(entry.cFileName)) continue;
    // Hidden and system folders, junctions and ".git" all count: the tree goes on below them.
    hasSubfolder = true;
    break;
  } while (platform.NextListingEntry(listing, entry));
  platform.CloseListing(listing);
  return hasSubfolder;
}

FolderClassificationCache& ProcessFolderClassificationCache() { return processCache; }

HRESULT DecideMembership(const WideChar* path, FolderMarkingPlatform& platform,
                         SubfolderAnswers& answers) noexcept {
  HRESULT answer = S_FALSE;
  auto decide = [&]() noexcept {
    try {
      answer = DecideUnguarded(path, platform, answers);
    } catch (...) {
      answer = S_FALSE;
    }
  };
#if defined(_WIN32)
  if (!RunUnderStructuredExceptionGuard(decide)) return S_FALSE;
#else
  decide();
#endif
  return answer;
}

}  // namespace tarnwick
