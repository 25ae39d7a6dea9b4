// folder_marking_timing FOLDER [FILES]
// Folder marking's costs on the Windows machine it runs on, for the test kit: the decision on a
// warm cache against the two queries it makes anyway (GetDriveTypeW, GetFileAttributesW), and the
// subfolder scan against a plain FindFirstFileExW loop over the same folder of FILES files (10000
// unless given). Prints times and their ratios; it asserts no target, since the figures belong to
// the machine (docs/benchmarks.md says how to read them). Google Benchmark is not built for
// mingw-w64, hence QueryPerformanceCounter and medians of interleaved rounds.
// FOLDER is made if missing and must lie on a fixed drive; the files made there are left for the
// next run (the kit's runner removes its scratch folder).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/tool_main.h"
#include "overlay/folder_marking_platform.h"

namespace tarnwick {
namespace {

constexpr int kRounds = 9;
constexpr double kBatchSeconds = 0.02;

volatile DWORD sink;

double Seconds(LONGLONG ticks) {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
  }();
  return static_cast<double>(ticks) / static_cast<double>(frequency);
}

template <class Operation>
double SecondsPerCall(Operation& operation, long calls) {
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  for (long i = 0; i < calls; ++i) operation();
  QueryPerformanceCounter(&end);
  return Seconds(end.QuadPart - start.QuadPart) / static_cast<double>(calls);
}

// Enough calls that one batch lasts about kBatchSeconds, so the counter's resolution and the
// loop around the calls vanish in it.
template <class Operation>
long CallsPerBatch(Operation& operation) {
  long calls = 1;
  while (calls < (1L << 24) && SecondsPerCall(operation, calls) * calls < kBatchSeconds / 4) {
    calls *= 2;
  }
  return calls * 4;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Comparison {
  double measured;  // seconds per call, median
  double baseline;  // seconds per call, median
  double ratio;     // median of the rounds' ratios
};

// The two alternate within each round: a machine that speeds up or slows down meanwhile (turbo,
// another program, the disk cache) moves both sides of a round's ratio alike.
template <class Measured, class Baseline>
Comparison Compare(Measured measured, Baseline baseline) {
  const long measuredCalls = CallsPerBatch(measured);
  const long baselineCalls = CallsPerBatch(baseline);
  std::vector<double> measuredTimes, baselineTimes, ratios;
  for (int round = 0; round < kRounds; ++round) {
    measuredTimes.push_back(SecondsPerCall(measured, measuredCalls));
    baselineTimes.push_back(SecondsPerCall(baseline, baselineCalls));
    ratios.push_back(measuredTimes.back() / baselineTimes.back());
  }
  return {Median(measuredTimes), Median(baselineTimes), Median(ratios)};
}

bool MakeFolderWithFiles(const std::wstring& folder, int files) {
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  for (int i = 0; i < files; ++i) {
    const std::wstring file = folder + L"\\f" + std::to_wstring(i);
    const HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    } else if (GetLastError() != ERROR_FILE_EXISTS) {
      return false;
    }
  }
  return true;
}

void PrintRow(const char* what, double seconds) {
  if (seconds < 1e-5) {
    std::printf("  %-46s %10.0f ns\n", what, seconds * 1e9);
  } else if (seconds < 1e-2) {
    std::printf("  %-46s %10.1f us\n", what, seconds * 1e6);
  } else {
    std::printf("  %-46s %10.2f ms\n", what, seconds * 1e3);
  }
}

}  // namespace

int RunTool(const std::vector<NativeArgument>& arguments) {
  if (arguments.empty() || arguments.size() > 2) {
    std::fprintf(stderr, "usage: folder_marking_timing FOLDER [FILES]\n");
    return 2;
  }
  const int files = arguments.size() == 2 ? _wtoi(arguments[1].c_str()) : 10000;
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(arguments[0].c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH || files < 1) {
    std::fprintf(stderr, "folder_marking_timing: bad folder or file count\n");
    return 2;
  }
  const std::wstring folder(full);
  const std::wstring leaf = folder + L"\\leaf";
  const std::wstring many = folder + L"\\many";
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!MakeFolderWithFiles(leaf, 10) || !MakeFolderWithFiles(many, files)) {
    std::fprintf(stderr, "folder_marking_timing: cannot fill %s (error %lu)\n",
                 Utf8FromWide(folder).c_str(), GetLastError());
    return 1;
  }

  FolderMarkingPlatform& platform = SystemFolderMarkingPlatform();
  FolderClassificationCache& cache = ProcessFolderClassificationCache();
  // The first call lists the folder and fills the cache; every later one is a hit. A folder that
  // is not a badged leaf would end the decision early and make the comparison meaningless.
  if (DecideMembership(leaf.c_str(), platform, cache) != S_OK) {
    std::fprintf(stderr, "folder_marking_timing: %s is not a leaf on a fixed drive\n",
                 Utf8FromWide(leaf).c_str());
    return 1;
  }
  const wchar_t root[4] = {leaf[0], L':', L'\\', 0};
  auto decide = [&] { sink = static_cast<DWORD>(DecideMembership(leaf.c_str(), platform, cache)); };
  auto askDriveAndAttributes = [&] {
    sink = GetDriveTypeW(root) + GetFileAttributesW(leaf.c_str());
  };
  const Comparison decision = Compare(decide, askDriveAndAttributes);

  // The floor of any scan: the same listing, with the arguments the product uses, read to its end.
  const std::wstring pattern = many + L"\\*";
  auto scanForSubfolder = [&] { sink = ScanForSubfolder(many.c_str(), platform); };
  auto listToTheEnd = [&] {
    WIN32_FIND_DATAW entry;
    const HANDLE find =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchLimitToDirectories,
                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    DWORD directories = 0;
    if (find != INVALID_HANDLE_VALUE) {
      do {
        directories += (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      } while (FindNextFileW(find, &entry));
      FindClose(find);
    }
    sink = directories;
  };
  const Comparison scan = Compare(scanForSubfolder, listToTheEnd);

  std::printf("Folder marking, %d-bit build, in %s (medians of %d rounds)\n",
              static_cast<int>(sizeof(void*) * 8), Utf8FromWide(folder).c_str(), kRounds);
  PrintRow("Decision on a warm cache (leaf folder)", decision.measured);
  PrintRow("GetDriveTypeW + GetFileAttributesW", decision.baseline);
  std::printf("  %-46s %10.2f\n", "Ratio", decision.ratio);
  const std::string scanned = "ScanForSubfolder, leaf of " + std::to_string(files) + " files";
  PrintRow(scanned.c_str(), scan.measured);
  PrintRow("FindFirstFileExW loop, same folder", scan.baseline);
  std::printf("  %-46s %10.2f\n", "Ratio", scan.ratio);
  return 0;
}

}  // namespace tarnwick
