// Folder marking's costs on this machine: the warm decision against the two queries it must make
// anyway, the scan against a plain readdir loop, and the cache-hit path from several threads.
// Prints figures; the targets are read from them, never asserted.

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "overlay/folder_marking_platform.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// A leaf folder of `files` empty files, made once per size.
const fs::path& LeafFolder(int files) {
  static std::map<int, fs::path> made;
  auto& folder = made[files];
  if (folder.empty()) {
    folder = fs::temp_directory_path() / ("tarnwick-bench-" + std::to_string(files));
    if (!fs::exists(folder / ("f" + std::to_string(files - 1)))) {
      fs::remove_all(folder);
      fs::create_directories(folder);
      for (int i = 0; i < files; ++i) {
        close(open((folder / ("f" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644));
      }
    }
  }
  return folder;
}

WideString WindowsPath(const fs::path& path) {
  WideString windows = WIDE("C:") + WideFromUtf8(path.string());
  for (WideChar& unit : windows) {
    if (unit == WIDE('/')) unit = WIDE('\\');
  }
  return windows;
}

void BM_DecisionOnCacheHit(benchmark::State& state) {
  const WideString path = WindowsPath(LeafFolder(10));
  auto& platform = SystemFolderMarkingPlatform();
  auto& cache = ProcessFolderClassificationCache();
  DecideMembership(path.c_str(), platform, cache);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecideMembership(path.c_str(), platform, cache));
  }
}
BENCHMARK(BM_DecisionOnCacheHit);

void BM_DriveTypeAndAttributesOnly(benchmark::State& state) {
  const WideString path = WindowsPath(LeafFolder(10));
  const WideChar root[4] = {path[0], WIDE(':'), WIDE('\\'), 0};
  auto& platform = SystemFolderMarkingPlatform();
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform.DriveTypeOf(root));
    benchmark::DoNotOptimize(platform.AttributesOf(path.c_str()));
  }
}
BENCHMARK(BM_DriveTypeAndAttributesOnly);

void BM_CacheHitThreads(benchmark::State& state) {
  const WideString path = WindowsPath(LeafFolder(10));
  auto& platform = SystemFolderMarkingPlatform();
  auto& cache = ProcessFolderClassificationCache();
  DecideMembership(path.c_str(), platform, cache);
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.QueryHasSubfolder(path.c_str(), platform));
  }
}
BENCHMARK(BM_CacheHitThreads)->Threads(1)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void BM_ScanForSubfolder(benchmark::State& state) {
  const WideString path = WindowsPath(LeafFolder(static_cast<int>(state.range(0))));
  auto& platform = SystemFolderMarkingPlatform();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScanForSubfolder(path.c_str(), platform));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanForSubfolder)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The floor: what any scan of the folder costs, opendir and readdir to the end.
void BM_PlainReaddirLoop(benchmark::State& state) {
  const fs::path& folder = LeafFolder(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    DIR* directory = opendir(folder.c_str());
    bool sawFolder = false;
    while (const dirent* entry = readdir(directory)) {
      if (entry->d_type == DT_DIR && entry->d_name[0] != '.') sawFolder = true;
    }
    closedir(directory);
    benchmark::DoNotOptimize(sawFolder);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlainReaddirLoop)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
