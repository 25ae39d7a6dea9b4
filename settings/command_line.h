#pragma once
// What TarnwickSettings does for its command line: write one icon file and end, or open the window.

#include "common/wide.h"

namespace tarnwick {

enum class CommandLineMode {
  OpenWindow,
  // "/writeico user": the user's badge.ico from the stored settings.
  WriteStoredIcon,
  // "/writeico PATH": the default badge to PATH.
  WriteDefaultIcon,
};

struct CommandLineAction {
  CommandLineMode mode = CommandLineMode::OpenWindow;
  // The output path for WriteDefaultIcon, pointing into the arguments; null otherwise.
  const WideChar* path = nullptr;
};

// `arguments` is the split command line, element 0 the program itself; null when splitting
// failed. Words after the third are ignored.
CommandLineAction ChooseCommandLineAction(const WideChar* const* arguments, int count);

// Equality that folds only A-Z onto a-z, as _wcsicmp does in the C locale: "/WRITEICO" matches,
// but no non-ASCII letter (a Kelvin sign, a dotted capital I) ever stands in for an ASCII one.
bool EqualsIgnoringAsciiCase(WideStringView a, WideStringView b);

}  // namespace tarnwick
