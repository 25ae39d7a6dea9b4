#pragma once
// A file system in memory for folder marking: counts calls, lets a test throw or block inside a
// listing, and fails the test when a listing is left open or one never opened is closed.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
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

class FakeFolderMarkingPlatform final : public FolderMarkingPlatform {
 public:
  // Every drive is fixed; a path or pattern not in these maps cannot be queried or opened.
  std::map<WideString, DWORD> attributes;
  std::map<WideString, std::vector<FakeEntry>> listings;
  std::atomic<std::uint64_t> now{100000};
  std::uint64_t tickStep = 0;
  std::function<void(const WideString&)> onOpen;  // with the pattern
  std::function<void()> onClose;
  std::atomic<int> openCalls{0}, openListings{0};

  ~FakeFolderMarkingPlatform() override { EXPECT_EQ(openListings, 0) << "listings left open"; }

  void AddFolder(const WideString& path, std::vector<FakeEntry> entries) {
    attributes[path] = FILE_ATTRIBUTE_DIRECTORY;
    entries.insert(entries.begin(), {Dir(WIDE(".")), Dir(WIDE(".."))});
    listings[path + WIDE("\\*")] = std::move(entries);
  }

  DWORD DriveTypeOf(const WideChar*) override { return DRIVE_FIXED; }

  DWORD AttributesOf(const WideChar* path) override {
    const auto found = attributes.find(path);
    return found == attributes.end() ? INVALID_FILE_ATTRIBUTES : found->second;
  }

  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override {
    ++openCalls;
    if (onOpen) onOpen(pattern);
    const auto found = listings.find(pattern);
    if (found == listings.end() || found->second.empty()) return false;
    ++openListings;
    auto* cursor = new Cursor{&found->second, 0};
    listing = cursor;
    return Fill(*cursor, first);
  }

  bool NextListingEntry(Listing listing, ListingEntry& entry) override {
    auto& cursor = *static_cast<Cursor*>(listing);
    ++cursor.index;
    return Fill(cursor, entry);
  }

  void CloseListing(Listing listing) override {
    --openListings;
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

  static bool Fill(const Cursor& cursor, ListingEntry& entry) {
    if (cursor.index >= cursor.entries->size()) return false;
    const FakeEntry& source = (*cursor.entries)[cursor.index];
    entry.dwFileAttributes = source.attributes;
    std::copy_n(source.name.c_str(), source.name.size() + 1, entry.cFileName);
    return true;
  }
};

}  // namespace tarnwick::testing
