// The badge's costs on this machine: one image at the sizes the settings preview and Explorer
// use and at the largest the icon format holds, and the whole six-image icon file written and
// put in place. Prints figures; the targets are read from them, never asserted.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "badge/badge.h"
#include "badge/icon_writer.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

void BM_RenderBadge(benchmark::State& state) {
  const int size = static_cast<int>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenderBadge(size, DefaultBadgeColor, true));
  }
  state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_RenderBadge)->Arg(16)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

// The six images in memory, without the file system: the part the renderer and format cost.
void BM_DefaultIconImages(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(BadgeIconDirectory(BadgeIconSizes));
    for (int size : BadgeIconSizes) {
      benchmark::DoNotOptimize(BadgeIconImage(size, DefaultBadgeColor, true));
    }
  }
}
BENCHMARK(BM_DefaultIconImages)->Unit(benchmark::kMicrosecond);

// The whole file: temporary file beside the target, six images, close, rename over the target.
void BM_WriteDefaultIconFile(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "tarnwick-badge-bench";
  fs::create_directories(folder);
  const WideString path = WideFromUtf8((folder / "badge.ico").string());
  for (auto _ : state) {
    if (!WriteBadgeIcon(path.c_str(), DefaultBadgeColor, true, BadgeIconSizes)) {
      state.SkipWithError("the icon file could not be written");
      break;
    }
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_WriteDefaultIconFile)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
