#pragma once
// Folder marking: whether a path gets the badge. A path gets it when it names an existing folder on
// a fixed drive and that folder holds no subfolder. The costly part, listing the folder, is
// remembered per path for 30000 ms by the process-wide classification cache.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "common/wide.h"
#include "common/win_types.h"

#if defined(_WIN32)
#include "overlay/srw_mutex.h"
#endif

namespace tarnwick {

#if defined(_WIN32)
using ListingEntry = WIN32_FIND_DATAW;
#else
// The two fields of WIN32_FIND_DATAW that the scan reads, under their Windows names.
struct ListingEntry {
  DWORD dwFileAttributes;
  WideChar cFileName[260];
};
#endif

// Everything folder marking asks of the system. The product implements it with KERNEL32 and
// USER32; the native build with POSIX calls; tests with fakes that count, fail, throw or block.
class FolderMarkingPlatform {
 public:
  using Listing = void*;

  virtual ~FolderMarkingPlatform() = default;

  // GetDriveTypeW on a root string "X:\".
  virtual DWORD DriveTypeOf(const WideChar* root) = 0;
  // GetFileAttributesW; INVALID_FILE_ATTRIBUTES when the path cannot be queried.
  virtual DWORD AttributesOf(const WideChar* path) = 0;
  // FindFirstFileExW (basic information, directories hint, large fetch). False when no listing
  // could be opened; otherwise `listing` is open and `first` holds the first entry.
  virtual bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) = 0;
  // FindNextFileW: false at the end of the listing or on any error, which are not told apart.
  virtual bool NextListingEntry(Listing listing, ListingEntry& entry) = 0;
  virtual void CloseListing(Listing listing) = 0;
  // GetTickCount64: milliseconds, never going back.
  virtual std::uint64_t TickCountMs() = 0;
  // CharUpperW over the whole string, keeping its length.
  virtual void UpperCaseInPlace(WideString& text) = 0;
};

// Lists one folder and says whether it holds a subfolder. A listing that cannot be opened, or
// breaks off, answers with what was found: a denied folder has "no subfolder".
bool ScanForSubfolder(const WideChar* path, FolderMarkingPlatform& platform);

// Where the membership decision gets its has-subfolder answer: the cache in the product, or the
// scan itself.
class SubfolderAnswers {
 public:
  virtual ~SubfolderAnswers() = default;
  virtual bool QueryHasSubfolder(const WideChar* path, FolderMarkingPlatform& platform) = 0;
};

class DirectScan final : public SubfolderAnswers {
 public:
  bool QueryHasSubfolder(const WideChar* path, FolderMarkingPlatform& platform) override {
    return ScanForSubfolder(path, platform);
  }
};

struct FolderClassification {
  bool hasSubfolder;
  std::uint64_t queryTickMs;
};

// Remembers each folder's has-subfolder answer for 30000 ms. The mutex guards only the map: it is
// never held while the file system is asked, so a slow listing holds up no other query.
template <class Mutex>
class BasicFolderClassificationCache final : public SubfolderAnswers {
 public:
  static constexpr std::uint64_t kFreshnessMs = 30000;
  static constexpr std::size_t kSizeThreshold = 50000;

  bool QueryHasSubfolder(const WideChar* path, FolderMarkingPlatform& platform) override {
    // Stamped before waiting for the lock and before the scan: an answer's 30000 ms run from
    // before anything of it was learnt.
    const std::uint64_t now = platform.TickCountMs();
    WideString key(path);
    platform.UpperCaseInPlace(key);
    {
      std::lock_guard<Mutex> lock(mutex_);
      const auto found = map_.find(key);
      // Unsigned on purpose: an entry stamped after this query began (by a later query that
      // finished first) gives a huge age and counts as stale.
      if (found != map_.end() && now - found->second.queryTickMs < kFreshnessMs) {
        return found->second.hasSubfolder;
      }
    }
    const bool hasSubfolder = ScanForSubfolder(path, platform);
    std::lock_guard<Mutex> lock(mutex_);
    if (map_.size() > kSizeThreshold) map_.clear();
    map_.insert_or_assign(std::move(key), FolderClassification{hasSubfolder, now});
    return hasSubfolder;
  }

  std::size_t EntryCount() {
    std::lock_guard<Mutex> lock(mutex_);
    return map_.size();
  }

 private:
  Mutex mutex_;
  std::unordered_map<WideString, FolderClassification> map_;
};

#if defined(_WIN32)
using FolderClassificationCache = BasicFolderClassificationCache<SrwMutex>;
#else
using FolderClassificationCache = BasicFolderClassificationCache<std::mutex>;
#endif

// The one cache of the process, shared by every overlay object and thread; built empty when the
// module loads and destroyed when it unloads.
FolderClassificationCache& ProcessFolderClassificationCache();

// The membership decision, the whole body of IsMemberOf: S_OK when the badge applies, otherwise
// S_FALSE. Nothing raised beneath it escapes; on Windows that includes structured exceptions such
// as an access violation on a bad path pointer.
HRESULT DecideMembership(const WideChar* path, FolderMarkingPlatform& platform,
                         SubfolderAnswers& answers) noexcept;

}  // namespace tarnwick
