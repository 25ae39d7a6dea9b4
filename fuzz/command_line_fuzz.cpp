// The settings program's command line: the input's lines are the words after the program's name.
// Only "/writeico" and then "user" or a path, matched with A-Z folded onto a-z and nothing else,
// leave the window closed, and a path is the third word itself.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/wide.h"
#include "fuzz/fuzz_property.h"
#include "settings/command_line.h"

namespace {

using tarnwick::CommandLineMode;

// `word` is `lower` (ASCII small letters and signs) with any of its letters in capitals.
bool IsSpelledAs(WideStringView word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char expected = lower[i];
    const bool letter = expected >= 'a' && expected <= 'z';
    if (word[i] != WideChar(expected) && !(letter && word[i] == WideChar(expected - 'a' + 'A'))) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const WideString text = tarnwick::WideFromUtf8({reinterpret_cast<const char*>(data), size});
  std::vector<WideString> words = {WIDE("TarnwickSettings.exe")};
  if (size > 0) {
    words.emplace_back();
    for (const WideChar unit : text) {
      if (unit == WIDE('\n') || unit == 0) {  // no argument holds a NUL
        words.emplace_back();
      } else {
        words.back().push_back(unit);
      }
    }
  }
  std::vector<const WideChar*> arguments;
  for (const WideString& word : words) arguments.push_back(word.c_str());
  const int count = static_cast<int>(arguments.size());

  const auto action = tarnwick::ChooseCommandLineAction(arguments.data(), count);
  CommandLineMode expected = CommandLineMode::OpenWindow;
  if (count >= 3 && IsSpelledAs(words[1], "/writeico")) {
    expected = IsSpelledAs(words[2], "user") ? CommandLineMode::WriteStoredIcon
                                             : CommandLineMode::WriteDefaultIcon;
  }
  FUZZ_PROPERTY(action.mode == expected);
  FUZZ_PROPERTY(action.path ==
                (expected == CommandLineMode::WriteDefaultIcon ? arguments[2] : nullptr));
  // A failed split opens the window whatever count comes with it.
  FUZZ_PROPERTY(tarnwick::ChooseCommandLineAction(nullptr, count).mode ==
                CommandLineMode::OpenWindow);
  return 0;
}
