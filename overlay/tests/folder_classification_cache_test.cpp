#include "overlay/folder_marking.h"

#include <gtest/gtest.h>

#include <memory>
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
struct CheckedMutex {
  static inline thread_local bool heldHere = false;
  static inline std::atomic<int> failingLocks{0};  // the next `failingLocks` locks throw

  void lock() {
    if (failingLocks > 0) {
      --failingLocks;
      throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    }
    mutex.lock();
    heldHere = true;
  }
  void unlock() {
    heldHere = false;
    mutex.unlock();
  }
  std::mutex mutex;
};

using CheckedCache = BasicFolderClassificationCache<CheckedMutex>;

class FolderClassificationCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CheckedMutex::failingLocks = 0;
    platform.AddFolder(WIDE("C:\\Leaf"), {});
    platform.AddFolder(WIDE("C:\\Tree"), {Dir(WIDE("sub"))});
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
  const auto askAt = [&](std::uint64_t ms) {
    platform.now = start + ms;
    return Query(WIDE("C:\\Leaf"));
  };
  EXPECT_FALSE(askAt(0));
  EXPECT_FALSE(askAt(29999));
  EXPECT_EQ(platform.openCalls, 1);
  EXPECT_FALSE(askAt(30000));
  EXPECT_EQ(platform.openCalls, 2);
  // Restamped at 30000: fresh until 59999, even when the disk changed meanwhile.
  platform.AddFolder(WIDE("C:\\Leaf"), {Dir(WIDE("new"))});
  EXPECT_FALSE(askAt(59999));
  EXPECT_TRUE(askAt(60000));
  // A query that began before that stamp but reaches the map later sees a "negative" age: stale.
  askAt(55000);
  EXPECT_EQ(platform.openCalls, 4);
}

TEST_F(FolderClassificationCacheTest, KeyIgnoresCaseButKeepsEverythingElse) {
  // The scan lists the path as received (C:\Tree\*), not the upper-cased key; c:\tree shares
  // C:\TREE, so its own listing, which does not exist, is never opened.
  EXPECT_TRUE(Query(WIDE("C:\\Tree")));
  EXPECT_TRUE(Query(WIDE("c:\\tree")));
  EXPECT_EQ(platform.openCalls, 1);
  Query(WIDE("C:\\Tree\\"));
  Query(WIDE("C:/Tree"));
  EXPECT_EQ(platform.openCalls, 3);
}

TEST_F(FolderClassificationCacheTest, MoreThan50000EntriesEmptyTheMapBeforeTheNextRecording) {
  platform.onOpen = nullptr;
  for (int i = 0; i < 50000; ++i) Query((WIDE("C:\\F") + WideFromUtf8(std::to_string(i))).c_str());
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

TEST_F(FolderClassificationCacheTest, FailedLockEndsTheQueryAndRecordsNothing) {
  CheckedMutex::failingLocks = 1;  // the lookup's: nothing is listed
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::system_error);
  EXPECT_EQ(platform.openCalls, 0);
  platform.onClose = [] { CheckedMutex::failingLocks = 1; };  // the recording's: the scan is lost
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::system_error);
  EXPECT_EQ(cache.EntryCount(), 0u);
}

TEST_F(FolderClassificationCacheTest, ExhaustedMemoryForTheKeyOrTheEntryLeavesTheLockFree) {
  {
    ScopedAllocationFailure failure(0);  // the key's copy, before the lock and the scan
    EXPECT_THROW(Query(WIDE("C:\\A long enough path to need the heap\\Leaf")), std::bad_alloc);
  }
  EXPECT_EQ(platform.openCalls, 0);
  std::unique_ptr<ScopedAllocationFailure> failure;  // the first allocation after the scan
  platform.onClose = [&] { failure = std::make_unique<ScopedAllocationFailure>(0); };
  EXPECT_THROW(Query(WIDE("C:\\Leaf")), std::bad_alloc);
  EXPECT_TRUE(failure->Triggered());
  failure.reset();
  EXPECT_FALSE(CheckedMutex::heldHere);
  EXPECT_EQ(cache.EntryCount(), 0u);
}

TEST(FolderClassificationCacheThreads, EightThreadsAtOnceAgreeWithTheDisk) {
  constexpr int kThreads = 8;
  const auto own = [](int t) { return WIDE("C:\\Own") + WideFromUtf8(std::to_string(t)); };
  FakeFolderMarkingPlatform platform;
  platform.tickStep = 7000;
  platform.AddFolder(WIDE("C:\\Shared"), {});
  platform.AddFolder(WIDE("C:\\SharedTree"), {Dir(WIDE("x"))});
  for (int t = 0; t < kThreads; ++t) {
    platform.AddFolder(own(t), t % 2 == 0 ? std::vector<testing::FakeEntry>{}
                                          : std::vector<testing::FakeEntry>{Dir(WIDE("d"))});
  }
  platform.onOpen = [](const WideString&) { EXPECT_FALSE(CheckedMutex::heldHere); };
  CheckedCache cache;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        wrong += cache.QueryHasSubfolder(WIDE("C:\\Shared"), platform);
        wrong += !cache.QueryHasSubfolder(WIDE("C:\\SharedTree"), platform);
        wrong += DecideMembership(own(t).c_str(), platform, cache) != (t % 2 ? S_FALSE : S_OK);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(cache.EntryCount(), 2u + kThreads);
}

}  // namespace
}  // namespace tarnwick
