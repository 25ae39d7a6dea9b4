// tarnwick-badge OUT.ico [--color 0x00BBGGRR] [--no-outline] [--sizes 16,20,24,32,48,64]
// Writes the badge icon file, as the settings program does; the build makes the DLL's built-in
// icon with it. Exit 0 on success, 1 when the file cannot be written, 2 for bad arguments.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "badge/badge.h"
#include "common/tool_main.h"
#include "badge/icon_writer.h"

namespace tarnwick {
namespace {

constexpr char kUsage[] =
    "usage: tarnwick-badge OUT.ico [--color 0x00BBGGRR] [--no-outline] "
    "[--sizes 16,20,24,32,48,64]\n";

bool Is(const NativeArgument& argument, const char* word) { return Printable(argument) == word; }

int DigitValue(char digit, int base) {
  int value = 99;
  if (digit >= '0' && digit <= '9') value = digit - '0';
  if (digit >= 'a' && digit <= 'f') value = digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') value = digit - 'A' + 10;
  return value < base ? value : -1;
}

// "0x" and up to eight hex digits, or a decimal number, that fits 32 bits.
std::optional<std::uint32_t> ParseColor(const std::string& text) {
  int base = 10;
  std::size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  if (start == text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// Comma-separated edge lengths, each 1..256; an empty text is an empty list.
std::optional<std::vector<int>> ParseSizes(const std::string& text) {
  std::vector<int> sizes;
  if (text.empty()) return sizes;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
    if (item.empty() || item.size() > 3) return std::nullopt;
    int size = 0;
    for (char digit : item) {
      const int value = DigitValue(digit, 10);
      if (value < 0) return std::nullopt;
      size = size * 10 + value;
    }
    if (size < kMinIconSize || size > kMaxIconSize) return std::nullopt;
    sizes.push_back(size);
    if (comma == std::string::npos) return sizes;
    start = comma + 1;
  }
}

int Fail(const char* message) {
  std::fprintf(stderr, "tarnwick-badge: %s\n%s", message, kUsage);
  return 2;
}

}  // namespace

int RunTool(const std::vector<NativeArgument>& arguments) {
  std::optional<NativeArgument> output;
  COLORREF color = DefaultBadgeColor;
  bool outline = true;
  std::vector<int> sizes(BadgeIconSizes.begin(), BadgeIconSizes.end());

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const NativeArgument& argument = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (Is(argument, "--no-outline")) {
      outline = false;
    } else if (Is(argument, "--color")) {
      if (!hasValue) return Fail("--color needs a value");
      const auto parsed = ParseColor(Printable(arguments[++i]));
      if (!parsed) return Fail("--color takes a 32-bit value such as 0x005B7D2E");
      color = *parsed;
    } else if (Is(argument, "--sizes")) {
      if (!hasValue) return Fail("--sizes needs a value");
      const auto parsed = ParseSizes(Printable(arguments[++i]));
      if (!parsed) return Fail("--sizes takes edge lengths from 1 to 256 separated by commas");
      sizes = *parsed;
    } else if (!argument.empty() && argument[0] == '-') {
      return Fail(("unknown option " + Printable(argument)).c_str());
    } else if (output) {
      return Fail("only one output file");
    } else {
      output = argument;
    }
  }
  if (!output) return Fail("no output file");

  if (!WriteBadgeIcon(WideFromArgument(*output).c_str(), color, outline, sizes)) {
    std::fprintf(stderr, "tarnwick-badge: cannot write %s\n", Printable(*output).c_str());
    return 1;
  }
  return 0;
}

}  // namespace tarnwick
