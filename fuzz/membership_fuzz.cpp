// The membership decision with its cache, over a platform whose every answer comes from the input:
// paths, drive types, attributes, listings (entries, a listing that cannot be opened, one that
// breaks off, one that throws) and the clock. Each answer is S_OK or S_FALSE and agrees with a
// model of the rules kept here: the form of the path, a fixed drive, a folder, then the folder's
// remembered answer while it is younger than 30000 ms by the query's first clock read, else a scan.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_property.h"
#include "overlay/folder_marking.h"

namespace {

using tarnwick::ListingEntry;

struct Entry {
  DWORD attributes;
  WideString name;  // may hold a NUL; the scan sees the name up to it
};

// One query's world.
struct World {
  DWORD driveType = 0;
  DWORD attributes = 0;
  bool opens = false;
  bool throwsOnOpen = false;
  std::vector<Entry> entries;  // those the listing gives before it ends or breaks off
  std::uint64_t now = 0;
};

class FuzzPlatform final : public tarnwick::FolderMarkingPlatform {
 public:
  World world;
  std::vector<WideString> roots;
  int attributeCalls = 0;
  std::vector<WideString> patterns;
  int opened = 0;
  int closed = 0;
  int clockReads = 0;

  DWORD DriveTypeOf(const WideChar* root) override {
    roots.emplace_back(root);
    return world.driveType;
  }
  DWORD AttributesOf(const WideChar*) override {
    ++attributeCalls;
    return world.attributes;
  }
  bool OpenListing(const WideChar* pattern, ListingEntry& first, Listing& listing) override {
    patterns.emplace_back(pattern);
    if (world.throwsOnOpen) throw std::bad_alloc();
    if (!world.opens || world.entries.empty()) return false;
    ++opened;
    next_ = 0;
    listing = this;
    return NextListingEntry(listing, first);
  }
  bool NextListingEntry(Listing, ListingEntry& entry) override {
    if (next_ >= world.entries.size()) return false;
    const Entry& source = world.entries[next_++];
    entry.dwFileAttributes = source.attributes;
    const std::size_t length = std::min<std::size_t>(source.name.size(), 259);
    std::copy_n(source.name.data(), length, entry.cFileName);
    entry.cFileName[length] = 0;
    return true;
  }
  void CloseListing(Listing) override { ++closed; }
  std::uint64_t TickCountMs() override {
    ++clockReads;
    return world.now;
  }
  void UpperCaseInPlace(WideString& text) override {
    for (WideChar& unit : text) {
      if (unit >= WIDE('a') && unit <= WIDE('z')) unit = static_cast<WideChar>(unit - 0x20);
    }
  }

 private:
  std::size_t next_ = 0;
};

// The units paths are made of: enough to spell drives, separators, dots and names.
constexpr WideChar kAlphabet[] = {WIDE('C'), WIDE('c'), WIDE('D'), WIDE(':'), WIDE('\\'), WIDE('/'),
                                  WIDE('.'), WIDE('x'), WIDE('?'), 0x00DF,    0xD800};

struct Remembered {
  bool hasSubfolder;
  std::uint64_t stampMs;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzPlatform platform;
  tarnwick::BasicFolderClassificationCache<std::mutex> cache;
  std::map<WideString, Remembered> model;
  std::vector<WideString> paths;
  std::uint64_t clock = input.ConsumeIntegral<std::uint64_t>();

  for (int query = 0; query < 16 && input.remaining_bytes() > 0; ++query) {
    // The path: none, one asked before (so the cache answers), or a new one.
    std::optional<WideString> path;
    const int kind = input.ConsumeIntegralInRange(0, 15);
    if (kind > 0 && kind < 8 && !paths.empty()) {
      path = paths[input.ConsumeIntegralInRange<std::size_t>(0, paths.size() - 1)];
    } else if (kind > 0) {
      path.emplace();
      for (int n = input.ConsumeIntegralInRange(0, 8); n > 0; --n) {
        path->push_back(
            kAlphabet[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kAlphabet) - 1)]);
      }
      paths.push_back(*path);
    }
    World& world = platform.world;
    world = World{};
    world.driveType = input.ConsumeIntegralInRange<DWORD>(0, 7);
    world.attributes =
        input.ConsumeBool() ? INVALID_FILE_ATTRIBUTES : input.ConsumeIntegral<std::uint16_t>();
    world.opens = input.ConsumeIntegralInRange(0, 7) != 0;
    world.throwsOnOpen = input.ConsumeIntegralInRange(0, 15) == 0;
    for (int n = input.ConsumeIntegralInRange(0, 5); n > 0; --n) {
      Entry entry{
          input.ConsumeBool() ? FILE_ATTRIBUTE_DIRECTORY : input.ConsumeIntegral<std::uint8_t>(),
          {}};
      for (int k = input.ConsumeIntegralInRange(0, 3); k > 0; --k) {
        const int unit = input.ConsumeIntegralInRange(0, 3);
        entry.name.push_back(unit == 0 ? WideChar(0) : unit == 3 ? WIDE('x') : WIDE('.'));
      }
      world.entries.push_back(entry);
    }
    // Mostly forwards, now and then back: a query may start before another that recorded first.
    constexpr std::uint64_t kSteps[] = {0, 1, 29999, 30000};  // the edges of freshness
    clock += input.ConsumeBool() ? kSteps[input.ConsumeIntegralInRange(0, 3)]
                                 : input.ConsumeIntegralInRange<std::uint64_t>(0, 40000);
    if (input.ConsumeIntegralInRange(0, 15) == 0)
      clock -= input.ConsumeIntegralInRange<std::uint64_t>(0, 10000);
    world.now = clock;

    // The model's answer and the calls it takes.
    HRESULT expected = S_FALSE;
    std::optional<WideString> root;
    bool attributesAsked = false;
    bool clockRead = false;
    std::optional<WideString> pattern;
    bool listingOpened = false;
    const bool wellFormed = path && path->size() >= 2 && (*path)[1] == WIDE(':');
    if (wellFormed) root = WideString{(*path)[0], WIDE(':'), WIDE('\\')};
    const bool fixed = wellFormed && world.driveType == DRIVE_FIXED;
    attributesAsked = fixed;
    const bool folder = fixed && world.attributes != INVALID_FILE_ATTRIBUTES &&
                        (world.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder) {
      clockRead = true;
      WideString key = *path;
      platform.UpperCaseInPlace(key);
      const auto found = model.find(key);
      if (found != model.end() && world.now - found->second.stampMs < 30000) {
        expected = found->second.hasSubfolder ? S_FALSE : S_OK;
      } else {
        pattern = *path + (path->empty() || path->back() != WIDE('\\') ? WIDE("\\*") : WIDE("*"));
        if (!world.throwsOnOpen) {
          listingOpened = world.opens && !world.entries.empty();
          bool hasSubfolder = false;
          for (const Entry& entry : listingOpened ? world.entries : std::vector<Entry>{}) {
            const WideString name(entry.name.c_str());  // up to the NUL
            if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && name != WIDE(".") &&
                name != WIDE("..")) {
              hasSubfolder = true;
              break;
            }
          }
          model[key] = {hasSubfolder, world.now};
          expected = hasSubfolder ? S_FALSE : S_OK;
        }
      }
    }

    platform.roots.clear();
    platform.patterns.clear();
    platform.attributeCalls = platform.opened = platform.closed = platform.clockReads = 0;
    const HRESULT answer =
        tarnwick::DecideMembership(path ? path->c_str() : nullptr, platform, cache);
    FUZZ_PROPERTY(answer == S_OK || answer == S_FALSE);
    FUZZ_PROPERTY(answer == expected);
    // S_OK only for a folder on a fixed drive.
    if (answer == S_OK) FUZZ_PROPERTY(folder);
    FUZZ_PROPERTY(platform.roots == (root ? std::vector{*root} : std::vector<WideString>{}));
    FUZZ_PROPERTY(platform.attributeCalls == (attributesAsked ? 1 : 0));
    FUZZ_PROPERTY(platform.clockReads == (clockRead ? 1 : 0));
    FUZZ_PROPERTY(platform.patterns ==
                  (pattern ? std::vector{*pattern} : std::vector<WideString>{}));
    FUZZ_PROPERTY(platform.opened == (listingOpened ? 1 : 0));
    FUZZ_PROPERTY(platform.closed == platform.opened);
  }
  return 0;
}
