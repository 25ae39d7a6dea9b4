#pragma once
// The entry of the developer command-line tools on both builds: Windows hands them UTF-16
// arguments through wmain, Linux UTF-8 ones through main. Each tool defines RunTool.

#include <string>
#include <vector>

#include "common/wide.h"

namespace tarnwick {

#if defined(_WIN32)
using NativeArgument = std::wstring;
inline WideString WideFromArgument(const NativeArgument& argument) { return argument; }
inline std::string Printable(const NativeArgument& argument) { return Utf8FromWide(argument); }
#else
using NativeArgument = std::string;
inline WideString WideFromArgument(const NativeArgument& argument) {
  return WideFromUtf8(argument);
}
inline std::string Printable(const NativeArgument& argument) { return argument; }
#endif

// The arguments after the program's name; the result is the exit code.
int RunTool(const std::vector<NativeArgument>& arguments);

}  // namespace tarnwick
