#pragma once
// A file system in memory for folder marking: counts every call, records listing patterns, and
// lets a test fail, throw or block inside any operation.

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "overlay/folder_marking.h"

namespace tarnwick::testing {

struct FakeEntry {
  DWORD attributes;
  WideString name;
};

inline FakeEntry Dir(const WideChar* name) { return {FILE_ATTRIBUTE_DIRECTORY, name}; }
inline FakeEntry File(const WideChar* name) { return {0x20, name}; }
inline FakeEntry HiddenDir(const WideChar* name) { return {FILE_ATTRIBUTE_DIRECTORY | 0x2, name}; }

class FakeFolderMarkingPlatform final : public FolderMarkingPlatform {
 public:
  DWORD driveType = DRIVE_FIXED;
  // Attributes by path as received; a path not here cannot be queried.
  std::map<WideString, DWORD> attributes;
  // Listings by search pattern; a pattern not here cannot be opened.
  std::map<WideString, std::vector<FakeEntry>> listings;
  // Clock: now, advanced by `tickStep` after every read.
  std::atomic<std::uint64_t> now{100000};
  std::uint64_t tickStep = 0;
  // Called when a listing is opened, with the pattern: may throw or block.
  std::function<void(const WideString&)> onOpen;
  // Called after a listing is closed.
  std::function<void()> onClose;

  std::atomic<int> driveTypeCalls{0};
  std::atomic<int> attributeCalls{0};
  std::atomic<int> openCalls{0};
  std::atomic<int> closeCalls{0};

  // Folder `path` with the given entries ("." and ".." come first, as on Windows).
  void AddFolder(const WideString& path, std::vector<FakeEntry> entries) {
    attributes[path] = FILE_ATTRIBUTE_DIRECTORY;
    WideString pattern = path;
    if (pattern.empty() || pattern.back() != WIDE('\\')) pattern += WIDE('\\');
    pattern += WIDE('*');
    entries.insert(entries.begin(), {Dir(WIDE(".")), Dir(WIDE(".."))});
    listings[pattern] = std::move(entries);
  }

  std::vector<WideString> Patterns() {
    std::lock_guard<std::mutex> lock(patternsMutex_);
    return patterns_;
  }

  DWORD DriveTypeOf(const WideChar* root) override {
    ++driveTypeCalls;
    std::lock_guard<std::mutex> lock(patternsMutex_);
    roots_.emplace_back(root);
    return driveType;
  }

  WideString LastRoot() {
    std::lock_guard<std::mutex> lock(patternsMutex_);
    return roots_.empty() ? WideString() : roots_.back();
  }

  DWORD AttributesOf(const WideChar* path) override {
    ++attributeCalls;
    const auto found = attributes.find(path);
    return found == attributes.end() ? INVALID_FILE_ATTRIBUTES : found->second;
  }

  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override {
    ++openCalls;
    {
      std::lock_guard<std::mutex> lock(patternsMutex_);
      patterns_.emplace_back(pattern);
    }
    if (onOpen) onOpen(pattern);
    const auto found = listings.find(pattern);
    if (found == listings.end() || found->second.empty()) return false;
    auto* cursor = new Cursor{&found->second, 0};
    Fill(*cursor, first);
    listing = cursor;
    return true;
  }

  bool NextListingEntry(Listing listing, ListingEntry& entry) override {
    auto& cursor = *static_cast<Cursor*>(listing);
    if (++cursor.index >= cursor.entries->size()) return false;
    Fill(cursor, entry);
    return true;
  }

  void CloseListing(Listing listing) override {
    ++closeCalls;
    delete static_cast<Cursor*>(listing);
    if (onClose) onClose();
  }

  std::uint64_t TickCountMs() override { return now.fetch_add(tickStep); }

  void UpperCaseInPlace(WideString& text) override {
    for (WideChar& unit : text) {
      if (unit >= WIDE('a') && unit <= WIDE('z')) unit = static_cast<WideChar>(unit - 0x20);
    }
  }

 private:
  struct Cursor {
    const std::vector<FakeEntry>* entries;
    std::size_t index;
  };

  static void Fill(const Cursor& cursor, ListingEntry& entry) {
    const FakeEntry& source = (*cursor.entries)[cursor.index];
    entry.dwFileAttributes = source.attributes;
    const std::size_t length = std::min<std::size_t>(source.name.size(), 259);
    std::copy_n(source.name.data(), length, entry.cFileName);
    entry.cFileName[length] = 0;
  }

  std::mutex patternsMutex_;
  std::vector<WideString> patterns_;
  std::vector<WideString> roots_;
};

}  // namespace tarnwick::testing
