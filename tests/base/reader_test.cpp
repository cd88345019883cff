// The token reader, driven by scripts over small files: each step's result is
// written down and the whole record compared with the row's expectation.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/base.h"
#include "tests/support/files.h"

namespace {

// Steps, separated by spaces: "v" readValue, "t" readToken, "e" whether the
// stream is at its end (E or -), "*" every value to the end, "k:KEY" findKey,
// "n:KEY" findNextKey. Results are joined with "|".
std::string run(const std::string& script) {
  std::istringstream steps(script);
  std::string step, out;
  int n = 0;
  auto put = [&](const std::string& s) { out += (n++ ? "|" : "") + s; };
  while (steps >> step) {
    if (step == "v") put(readValue());
    if (step == "t") put(readToken());
    if (step == "e") put(driverFileAtEnd() ? "E" : "-");
    if (step.starts_with("k:")) findKey(step.c_str() + 2);
    if (step.starts_with("n:")) findNextKey(step.c_str() + 2);
    for (std::string v; step == "*" && !driverFileAtEnd();)
      if (!(v = readValue()).empty() || !driverFileAtEnd()) put(v);
  }
  return out;
}

struct Row {
  std::string text, script, expected;
};

TEST(Reader, ScriptsOverFiles) {
  const Row rows[] = {
      {"  alpha\tbeta\r\ngamma\vdelta\fepsilon\n\n  zeta", "*",
       "alpha|beta|gamma|delta|epsilon|zeta"},
      {"one two", "t e t e t v", "one|-|two|E||"},
      {"last \n\t ", "v e v e v", "last|-||E|"},
      {"Romdir \" C:\\my roms\\\tnew\\\" next", "*", "Romdir|C:\\my roms\\\tnew\\|next"},
      {"\"\n   text here\" \"    \tafter tab\" \"\n\nline\"", "*", "text here|\tafter tab|\nline"},
      {"a \" \" b \"\n\" c", "*", "a||b||c"},
      {"\"abc def\" ghi", "*", "def|ghi"},
      {"\" a # b\nc\" # comment # d", "*", "a # b\nc|d"},
      {"key \" runs to the end\nof the file", "v v e v", "key|runs to the end\nof the file|E|"},
      {"key \"", "v v e", "key||E"},
      {"# GAMENAME hidden\nDIRECTORY\nx # GAMENAME shown", "* k:DIRECTORY e k:GAMENAME v",
       "GAMENAME|shown|E|shown"},
      {"#  #\n# Stonebreaker #\n#  #\n\nRomdir x # a # # b # y", "*", "Romdir|x|y"},
      {"#abc value# # skipped #x # z", "*", "#abc|value#|z"},
      {"# inside #x x# ## # after", "*", "after"},
      {"Romdir \" #\" Drvdir \" drv/\"", "k:Drvdir v k:Romdir v", "drv/|#"},
      {"# \" #\" still comment # visible", "*", "visible"},
      {"a # never closed\nb c", "v v e k:b e", "a||E|E"},
      {"a # b #", "v v e", "a||E"},
      {"gamename \" Sample\" Directory s", "k:GAMENAME v k:directory v k:DIRECTOR e", "Sample|s|E"},
      {"ZAP 1 zap 2", "k:DIRECTORYX e k:zaP v n:ZAP v", "E|1|2"},
      {"DATE\n\n\n1990\n", "k:date v", "1990"},
      {"[gfx] SIZE 4 [masterCpu] SIZE 1 [slaveCpu] SIZE 8 [end]",
       "k:[masterCpu] n:SIZE v n:SIZE v k:SIZE v k:[slaveCpu] n:[gfx] e v k:[gfx] e v",
       "1|8|4|E||-|SIZE"},
      {"GAMENAME \" DIRECTORY inside\" DIRECTORY real", "k:DIRECTORY v k:GAMENAME v",
       "real|DIRECTORY inside"},
      {"GAMENAME DATE DATE 1990", "k:DATE v", "DATE"},
      {"Romdir \" Frameskip\" Frameskip 4 \" #\" # \" \" # DATE 1",
       "k:Frameskip v k:Romdir v k:date v", "4|Frameskip|1"},
      {std::string("a\0b KEY \" v\0w\"", 14), "v k:KEY v", std::string("a\0b|v\0w", 7)},
      {std::string("\0KEY 1", 6), "k:KEY e", "E"},
      {"", "v e k:anything e", "|E|E"},
  };
  support::ScratchDir dir;
  for (const Row& row : rows) {
    support::writeFile(dir.path / "t.txt", row.text);
    ASSERT_EQ(openDriverFile((dir / "t.txt").c_str()), 1);
    EXPECT_EQ(run(row.script), row.expected) << row.text;
  }
  // Another file replaces the current stream; without one every read is at
  // the end.
  support::writeFile(dir.path / "u.txt", std::string("second 2"));
  ASSERT_EQ(openDriverFile((dir / "u.txt").c_str()), 1);
  EXPECT_EQ(run("v"), "second");
  closeDriverFile();
  EXPECT_EQ(run("e t v k:GAMENAME n:GAMENAME e"), "E|||E");
  EXPECT_EQ(openDriverFile((dir / "absent").c_str()), 0);
  EXPECT_EQ(openDriverFile(nullptr), 0);
  EXPECT_EQ(openDriverFile(dir.path.c_str()), 0);  // a directory is no text file
  closeDriverFile();
}

TEST(Reader, CaseFoldingIsAsciiLettersOnly) {
  const struct {
    std::string text;
    const char* other;
    bool same;
  } rows[] = {
      {"LOADROM16SWAP", "loadrom16swap", true},
      {"AZaz", "azAZ", true},
      {"", "", true},
      {"SIZE", "SIZ", false},
      {"SIZ", "SIZE", false},
      {"[gfx]", "{GFX}", false},
      {"@[`{", "`{@[", false},
      {"\xc9t", "\xe9t", false},
      {"a", nullptr, false},
      {std::string("a\0b", 3), "a", false},
  };
  for (const auto& row : rows)
    EXPECT_EQ(sameTextIgnoringCase(row.text, row.other), row.same) << row.text;
}

}  // namespace
