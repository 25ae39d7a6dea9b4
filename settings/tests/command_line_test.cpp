// Which command lines write an icon and which open the window.

#include "settings/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

struct CommandLineCase {
  std::vector<const WideChar*> arguments;
  CommandLineMode mode;
  const char* why;
};

TEST(CommandLine, OnlyWriteicoWithAThirdWordWritesAndEverythingElseOpensTheWindow) {
  const WideChar* program = WIDE("TarnwickSettings.exe");
  const CommandLineCase cases[] = {
      {{program}, CommandLineMode::OpenWindow, "no arguments"},
      {{program, WIDE("/writeico")}, CommandLineMode::OpenWindow, "the switch alone"},
      {{program, WIDE("/writeico"), WIDE("user")}, CommandLineMode::WriteStoredIcon, "user"},
      {{program, WIDE("/WRITEICO"), WIDE("USER")}, CommandLineMode::WriteStoredIcon, "capitals"},
      {{program, WIDE("/WriteIco"), WIDE("uSeR"), WIDE("more"), WIDE("words")},
       CommandLineMode::WriteStoredIcon,
       "later words are ignored"},
      {{program, WIDE("/writeico"), WIDE("C:\\out\\badge.ico")},
       CommandLineMode::WriteDefaultIcon,
       "a path"},
      {{program, WIDE("/writeico"), WIDE("users")},
       CommandLineMode::WriteDefaultIcon,
       "a word that only starts like user is a file name"},
      {{program, WIDE("/writeico"), WIDE("")},
       CommandLineMode::WriteDefaultIcon,
       "an empty path is still a path; writing it fails"},
      // U+017F (long s) folds to "s" under Unicode rules, never under _wcsicmp's.
      {{program, WIDE("/writeico"), WIDE("u\u017Fer")},
       CommandLineMode::WriteDefaultIcon,
       "non-ASCII letters are not folded"},
      {{program, WIDE("-writeico"), WIDE("user")}, CommandLineMode::OpenWindow, "dash switch"},
      {{program, WIDE("writeico"), WIDE("user")}, CommandLineMode::OpenWindow, "no slash"},
      {{program, WIDE("/writeicon"), WIDE("user")}, CommandLineMode::OpenWindow, "longer switch"},
      {{program, WIDE("/writeic"), WIDE("user")}, CommandLineMode::OpenWindow, "shorter switch"},
      {{program, WIDE("user"), WIDE("/writeico")}, CommandLineMode::OpenWindow, "swapped"},
  };
  for (const CommandLineCase& c : cases) {
    const CommandLineAction action =
        ChooseCommandLineAction(c.arguments.data(), static_cast<int>(c.arguments.size()));
    EXPECT_EQ(action.mode, c.mode) << c.why;
    if (c.mode == CommandLineMode::WriteDefaultIcon) {
      // The very argument, not a copy: the entry writes before it frees the split line.
      EXPECT_EQ(action.path, c.arguments[2]) << c.why;
    } else {
      EXPECT_EQ(action.path, nullptr) << c.why;
    }
  }
}

TEST(CommandLine, AFailedSplitOpensTheWindow) {
  EXPECT_EQ(ChooseCommandLineAction(nullptr, 0).mode, CommandLineMode::OpenWindow);
  EXPECT_EQ(ChooseCommandLineAction(nullptr, 3).mode, CommandLineMode::OpenWindow);
}

TEST(CommandLine, CaseFoldingCoversExactlyTheAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoringAsciiCase(WIDE("AZaz@[`{"), WIDE("azAZ@[`{")));
  // The neighbours of A-Z and a-z differ by 0x20 too, and must not be folded.
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("@"), WIDE("`")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("["), WIDE("{")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("\u00C0"), WIDE("\u00E0")));
  EXPECT_FALSE(EqualsIgnoringAsciiCase(WIDE("user"), WIDE("user ")));
}

}  // namespace
}  // namespace tarnwick
