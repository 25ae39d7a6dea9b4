#include "settings/command_line.h"

namespace tarnwick {
namespace {

WideChar FoldAscii(WideChar unit) {
  return unit >= WIDE('A') && unit <= WIDE('Z') ? static_cast<WideChar>(unit + 0x20) : unit;
}

}  // namespace

bool EqualsIgnoringAsciiCase(WideStringView a, WideStringView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

CommandLineAction ChooseCommandLineAction(const WideChar* const* arguments, int count) {
  if (arguments == nullptr || count < 3) return {};
  if (!EqualsIgnoringAsciiCase(arguments[1], WIDE("/writeico"))) return {};
  if (EqualsIgnoringAsciiCase(arguments[2], WIDE("user"))) {
    return {CommandLineMode::WriteStoredIcon, nullptr};
  }
  return {CommandLineMode::WriteDefaultIcon, arguments[2]};
}

}  // namespace tarnwick
