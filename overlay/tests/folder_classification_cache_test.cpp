// The classification cache: freshness, keys, the size threshold, failures and threads.

#include "overlay/folder_marking.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "overlay/tests/allocation_failure.h"
#include "overlay/tests/fake_folder_marking_platform.h"

namespace tarnwick {
namespace {

using testing::Dir;
using testing::FakeFolderMarkingPlatform;
using testing::ScopedAllocationFailure;

// A std::mutex that knows whether the calling thread holds it, and can be told to fail.
class CheckedMutex {
 public:
  static inline thread_local bool heldHere = false;
  static inline std::atomic<int> failingLocks{0};  // the next N locks throw
  static inline std::atomic<int> held{0};

  void lock() {
    if (failingLocks > 0) {
      --failingLocks;
      throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    }
    mutex_.lock();
    heldHere = true;
    ++held;
  }
  void unlock() {
    --held;
    heldHere = false;
    mutex_.unlock();
  }

 private:
  std::mutex mutex_;
};

using CheckedCache = BasicFolderClassificationCache<CheckedMutex>;

class FolderClassificationCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CheckedMutex::failingLocks = 0;
    platform.AddFolder(WIDE("C:\\Leaf"), {});
    platform.AddFolder(WIDE("C:\\Tree"), {Dir(WIDE("sub"))});
    // The file system is never asked while the cache's lock is held.
    platform.onOpen = [](const WideString&) { EXPECT_FALSE(CheckedMutex::heldHere); };
  }

  bool Query(const WideChar* path) { return cache.QueryHasSubfolder(path, platform); }

  FakeFolderMarkingPlatform platform;
  CheckedCache cache;
};

TEST_F(FolderClassificationCacheTest, AnswersFor29999MsThenListsAgainAndRestamps) {
  // Every read moves the clock on by 1 ms: ages count from the query's first read, before the
  // lock and the scan, and from nothing later.
  platform.tickStep = 1;
  const std::uint64_t start = platform.now;
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  EXPECT_EQ(platform.openCalls, 1);
  platform.now = start + 29999;
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  EXPECT_EQ(platform.openCalls, 1);
  platform.now = start + 30000;
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  EXPECT_EQ(platform.openCalls, 2);
  // Restamped at 30000: fresh until 59999, even when the disk changed meanwhile.
  platform.AddFolder(WIDE("C:\\Leaf"), {Dir(WIDE("new"))});
  platform.now = start + 59999;
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  EXPECT_EQ(platform.openCalls, 2);
  platform.now = start + 60000;
  EXPECT_TRUE(Query(WIDE("C:\\Leaf")));
}

TEST_F(FolderClassificationCacheTest, KeyIgnoresCaseButKeepsEverythingElse) {
  platform.AddFolder(WIDE("c:\\leaf"), {Dir(WIDE("never read"))});
  platform.AddFolder(WIDE("C:\\Leaf\\"), {});
  platform.AddFolder(WIDE("C:/Leaf"), {});
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  EXPECT_FALSE(Query(WIDE("c:\\leaf")));  // shares C:\LEAF, so its own listing is never read
  EXPECT_EQ(platform.openCalls, 1);
  EXPECT_EQ(cache.EntryCount(), 1u);
  Query(WIDE("C:\\Leaf\\"));
  Query(WIDE("C:/Leaf"));
  EXPECT_EQ(platform.openCalls, 3);
  EXPECT_EQ(cache.EntryCount(), 3u);
  // The scan gets the path as received, not the upper-cased key.
  EXPECT_EQ(platform.Patterns()[0], WIDE("C:\\Leaf\\*"));
}

TEST_F(FolderClassificationCacheTest, EntryStampedAfterTheQueryStartedIsStale) {
  const std::uint64_t start = platform.now;
  platform.now = start + 5000;
  Query(WIDE("C:\\Leaf"));
  // A query that began earlier but reaches the map later sees a "negative" age.
  platform.now = start;
  Query(WIDE("C:\\Leaf"));
  EXPECT_EQ(platform.openCalls, 2);
}

TEST_F(FolderClassificationCacheTest, MoreThan50000EntriesEmptyTheMapBeforeTheNextRecording) {
  platform.onOpen = nullptr;
  WideString path = WIDE("C:\\F");
  for (int i = 0; i < 50000; ++i) {
    Query((path + WideFromUtf8(std::to_string(i))).c_str());
  }
  EXPECT_EQ(cache.EntryCount(), 50000u);
  Query(WIDE("C:\\Leaf"));
  EXPECT_EQ(cache.EntryCount(), 50001u);
  // Even a refresh of a present key empties the map first.
  platform.now += 30000;
  Query(WIDE("C:\\Leaf"));
  EXPECT_EQ(cache.EntryCount(), 1u);
  Query(WIDE("C:\\Tree"));
  EXPECT_EQ(cache.EntryCount(), 2u);
}

TEST_F(FolderClassificationCacheTest, FailedLockEndsTheQueryAndLeavesTheCacheUsable) {
  // Lookup lock fails.
  CheckedMutex::failingLocks = 1;
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::system_error);
  EXPECT_EQ(platform.openCalls, 0);
  // Recording lock fails: the scan made is dropped unrecorded.
  platform.onClose = [] { CheckedMutex::failingLocks = 1; };
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::system_error);
  platform.onClose = nullptr;
  EXPECT_EQ(CheckedMutex::held, 0);
  EXPECT_EQ(cache.EntryCount(), 0u);
  // Through the decision the failure is no badge, and the next query is answered.
  CheckedMutex::failingLocks = 1;
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, cache), S_FALSE);
  EXPECT_EQ(DecideMembership(WIDE("C:\\Leaf"), platform, cache), S_OK);
  EXPECT_EQ(cache.EntryCount(), 1u);
}

TEST_F(FolderClassificationCacheTest, ExhaustedMemoryWhileMakingKeyOrRecordingFreesTheLock) {
  {
    ScopedAllocationFailure failure(0);  // the key's copy
    EXPECT_THROW(Query(WIDE("C:\\A long enough path to need the heap\\Leaf")), std::bad_alloc);
    EXPECT_TRUE(failure.Triggered());
  }
  EXPECT_EQ(platform.openCalls, 0);
  // Fail the first allocation after the listing is closed: the map's new entry.
  std::unique_ptr<ScopedAllocationFailure> failure;
  platform.onClose = [&] { failure = std::make_unique<ScopedAllocationFailure>(0); };
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::bad_alloc);
  EXPECT_TRUE(failure->Triggered());
  platform.onClose = nullptr;
  failure.reset();
  EXPECT_EQ(CheckedMutex::held, 0);
  EXPECT_EQ(cache.EntryCount(), 0u);
  EXPECT_TRUE(Query(WIDE("C:\\Tree")));
  EXPECT_EQ(cache.EntryCount(), 1u);
}

TEST_F(FolderClassificationCacheTest, SlowScanHoldsUpNoOtherQuery) {
  std::mutex gate;
  std::condition_variable opened;
  bool slowScanStarted = false;
  bool release = false;
  platform.AddFolder(WIDE("C:\\Slow"), {});
  platform.onOpen = [&](const WideString& pattern) {
    EXPECT_FALSE(CheckedMutex::heldHere);
    if (pattern != WIDE("C:\\Slow\\*")) return;
    std::unique_lock<std::mutex> lock(gate);
    slowScanStarted = true;
    opened.notify_all();
    opened.wait(lock, [&] { return release; });
  };
  std::thread slow([&] { EXPECT_FALSE(Query(WIDE("C:\\Slow"))); });
  {
    std::unique_lock<std::mutex> lock(gate);
    opened.wait(lock, [&] { return slowScanStarted; });
  }
  // While the slow listing is under way, other folders are scanned and answered.
  EXPECT_TRUE(Query(WIDE("C:\\Tree")));
  EXPECT_FALSE(Query(WIDE("C:\\Leaf")));
  {
    std::lock_guard<std::mutex> lock(gate);
    release = true;
  }
  opened.notify_all();
  slow.join();
  EXPECT_EQ(cache.EntryCount(), 3u);
}

TEST(FolderClassificationCacheThreads, EightThreadsOnSharedAndDistinctKeysAgreeWithTheDisk) {
  FakeFolderMarkingPlatform platform;
  platform.tickStep = 7000;  // entries go stale every few reads
  platform.AddFolder(WIDE("C:\\Shared"), {});
  platform.AddFolder(WIDE("C:\\SharedTree"), {Dir(WIDE("x"))});
  constexpr int kThreads = 8;
  for (int t = 0; t < kThreads; ++t) {
    const WideString own = WIDE("C:\\Own") + WideFromUtf8(std::to_string(t));
    platform.AddFolder(own, t % 2 == 0 ? std::vector<testing::FakeEntry>{}
                                       : std::vector<testing::FakeEntry>{Dir(WIDE("d"))});
  }
  platform.onOpen = [](const WideString&) { EXPECT_FALSE(CheckedMutex::heldHere); };
  CheckedCache cache;
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const WideString own = WIDE("C:\\Own") + WideFromUtf8(std::to_string(t));
      for (int i = 0; i < 2000; ++i) {
        if (cache.QueryHasSubfolder(WIDE("C:\\Shared"), platform)) ++wrong;
        if (!cache.QueryHasSubfolder(WIDE("C:\\SharedTree"), platform)) ++wrong;
        if (DecideMembership(own.c_str(), platform, cache) != (t % 2 == 0 ? S_OK : S_FALSE)) {
          ++wrong;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(cache.EntryCount(), 2u + kThreads);
  EXPECT_EQ(CheckedMutex::held, 0);
}

}  // namespace
}  // namespace tarnwick
