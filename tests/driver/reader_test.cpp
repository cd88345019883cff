// The token reader: tokens, quoted values, comments and key searches over
// the one current stream.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/driver.h"

namespace {

namespace fs = std::filesystem;

// Writes the text to a fresh file and makes it the current stream.
class ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = fs::temp_directory_path() /
           ("sb_reader_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt");
  }
  void TearDown() override {
    closeDriverFile();
    std::error_code ignored;
    fs::remove(path, ignored);
  }
  void open(const std::string& text) {
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(fwrite(text.data(), 1, text.size(), file), text.size());
    fclose(file);
    ASSERT_EQ(openDriverFile(path.c_str()), 1);
  }
  // Every value up to the end of the file.
  std::vector<std::string> values() {
    std::vector<std::string> all;
    while (!driverFileAtEnd()) {
      std::string value = readValue();
      if (value.empty() && driverFileAtEnd()) break;
      all.push_back(value);
    }
    return all;
  }
  fs::path path;
};

using Values = std::vector<std::string>;

TEST_F(ReaderTest, TokensAreSeparatedByEveryKindOfWhiteSpace) {
  open("  alpha\tbeta\r\ngamma\vdelta\fepsilon\n\n  zeta");
  EXPECT_EQ(values(), (Values{"alpha", "beta", "gamma", "delta", "epsilon", "zeta"}));
}

TEST_F(ReaderTest, TokenLeavesItsDelimiterUnreadAndEndIsReportedAfterTheLastToken) {
  open("one two");
  EXPECT_EQ(readToken(), "one");
  EXPECT_FALSE(driverFileAtEnd());
  EXPECT_EQ(readToken(), "two");
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readToken(), "");
  EXPECT_EQ(readValue(), "");
}

TEST_F(ReaderTest, EndOfFileAfterTrailingWhiteSpaceGivesEmptyValue) {
  open("last \n\t ");
  EXPECT_EQ(readValue(), "last");
  EXPECT_FALSE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "");
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "");
}

TEST_F(ReaderTest, QuotedValueKeepsInnerSpacesTabsAndTrailingBackslash) {
  open("Romdir \" C:\\my roms\\\tnew\\\" next");
  EXPECT_EQ(readValue(), "Romdir");
  EXPECT_EQ(readValue(), "C:\\my roms\\\tnew\\");
  EXPECT_EQ(readValue(), "next");
}

TEST_F(ReaderTest, QuotedValueDropsOneSeparatorThenSkipsOnlySpaces) {
  // A newline after the quote is the dropped separator; the spaces after it
  // are skipped; a tab is text.
  open("\"\n   text here\" \"    \tafter tab\" \"\n\nline\"");
  EXPECT_EQ(readValue(), "text here");
  EXPECT_EQ(readValue(), "\tafter tab");
  EXPECT_EQ(readValue(), "\nline");
}

TEST_F(ReaderTest, EmptyQuotedValue) {
  open("a \" \" b \"\n\" c");
  EXPECT_EQ(values(), (Values{"a", "", "b", "", "c"}));
}

TEST_F(ReaderTest, TextGluedToTheOpeningQuoteIsLost) {
  open("\"abc def\" ghi");
  EXPECT_EQ(readValue(), "def");
  EXPECT_EQ(readValue(), "ghi");
}

TEST_F(ReaderTest, QuotedValueMayContainNumberSignsAndNewlines) {
  open("\" a # b\nc\" # comment # d");
  EXPECT_EQ(values(), (Values{"a # b\nc", "d"}));
}

TEST_F(ReaderTest, UnclosedQuoteEndsAtEndOfFile) {
  open("key \" runs to the end\nof the file");
  EXPECT_EQ(readValue(), "key");
  EXPECT_EQ(readValue(), "runs to the end\nof the file");
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "");
}

TEST_F(ReaderTest, LoneQuoteAtEndOfFile) {
  open("key \"");
  EXPECT_EQ(readValue(), "key");
  EXPECT_EQ(readValue(), "");
  EXPECT_TRUE(driverFileAtEnd());
}

TEST_F(ReaderTest, CommentSpanningLinesIsSkippedWithTheKeysInside) {
  open("# GAMENAME hidden\nDIRECTORY\nalso hidden # GAMENAME shown");
  EXPECT_EQ(values(), (Values{"GAMENAME", "shown"}));
  findKey("DIRECTORY");
  EXPECT_TRUE(driverFileAtEnd());
  findKey("GAMENAME");
  EXPECT_EQ(readValue(), "shown");
}

TEST_F(ReaderTest, ConsecutiveCommentsAreOneStretch) {
  open(
      "#                                 #\n# Stonebreaker configuration file #\n"
      "#                                 #\n\nRomdir x # a # # b # y");
  EXPECT_EQ(values(), (Values{"Romdir", "x", "y"}));
}

TEST_F(ReaderTest, NumberSignGluedToTextIsAnOrdinaryToken) {
  open("#abc value# # skipped #x # z");
  EXPECT_EQ(values(), (Values{"#abc", "value#", "z"}));
}

TEST_F(ReaderTest, GluedNumberSignsDoNotCloseAComment) {
  open("# inside #x x# ## # after");
  EXPECT_EQ(values(), (Values{"after"}));
}

TEST_F(ReaderTest, QuotedNumberSignIsAValueNotACommentMark) {
  open("Romdir \" #\" Drvdir \" drv/\"");
  findKey("Drvdir");
  EXPECT_EQ(readValue(), "drv/");
  findKey("Romdir");
  EXPECT_EQ(readValue(), "#");
  // Inside a comment a quoted "#" does not close it either.
  open("# \" #\" still comment # visible");
  EXPECT_EQ(values(), (Values{"visible"}));
}

TEST_F(ReaderTest, CommentLeftOpenAtEndOfFile) {
  open("a # never closed\nb c");
  EXPECT_EQ(readValue(), "a");
  EXPECT_EQ(readValue(), "");
  EXPECT_TRUE(driverFileAtEnd());
  findKey("b");
  EXPECT_TRUE(driverFileAtEnd());
}

TEST_F(ReaderTest, CommentClosedAtTheVeryEnd) {
  open("a # b #");
  EXPECT_EQ(readValue(), "a");
  EXPECT_EQ(readValue(), "");
  EXPECT_TRUE(driverFileAtEnd());
}

TEST_F(ReaderTest, KeysMatchRegardlessOfCase) {
  open("gamename \" Sample Game\" Directory sample");
  findKey("GAMENAME");
  EXPECT_EQ(readValue(), "Sample Game");
  findKey("directory");
  EXPECT_EQ(readValue(), "sample");
  findKey("DIRECTOR");  // a prefix is not the key
  EXPECT_TRUE(driverFileAtEnd());
  findKey("DIRECTORYX");
  EXPECT_TRUE(driverFileAtEnd());
}

TEST_F(ReaderTest, KeyAndValueOnSeparateLines) {
  open("DATE\n\n\n1990\n");
  findKey("date");
  EXPECT_EQ(readValue(), "1990");
}

TEST_F(ReaderTest, FindKeyRewindsAndFindNextKeyDoesNot) {
  open("[gfx] SIZE 400000 [masterCpu] SIZE 100000 [slaveCpu] SIZE 80000 [end]");
  findKey("[masterCpu]");
  findNextKey("SIZE");
  EXPECT_EQ(readValue(), "100000");
  findNextKey("SIZE");
  EXPECT_EQ(readValue(), "80000");
  findKey("SIZE");
  EXPECT_EQ(readValue(), "400000");
  findKey("[slaveCpu]");
  findNextKey("[gfx]");
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "");
  // After a failed search the next search from the start works again.
  findKey("[gfx]");
  EXPECT_FALSE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "SIZE");
}

TEST_F(ReaderTest, QuotedValueCountsAsOneTokenInKeySearches) {
  // The quoted text holds the key's name but the search compares whole
  // tokens; its value is the quoted token's text.
  open("GAMENAME \" DIRECTORY inside\" DIRECTORY real");
  findKey("DIRECTORY");
  EXPECT_EQ(readValue(), "real");
  findKey("GAMENAME");
  EXPECT_EQ(readValue(), "DIRECTORY inside");
}

TEST_F(ReaderTest, BareValueSpellingAKeyIsTakenForThatKey) {
  open("GAMENAME DATE DATE 1990");
  findKey("DATE");
  EXPECT_EQ(readValue(), "DATE");
}

TEST_F(ReaderTest, QuotedValueIsNeverTakenForAKey) {
  open("Romdir \" Frameskip\" Frameskip 4 \" #\" # \" \" # DATE 1");
  findKey("Frameskip");
  EXPECT_EQ(readValue(), "4");
  findKey("Romdir");
  EXPECT_EQ(readValue(), "Frameskip");
  findKey("date");
  EXPECT_EQ(readValue(), "1");
}

TEST_F(ReaderTest, SampleDriverFile) {
  open(
      "# sample driver for the Sample Game set #\n"
      "GAMENAME \" Sample Game\"\nDIRECTORY sample\nDATE 1990\nSYSTEM System21\n"
      "[gfx]\nSIZE 400000\nLOAD8 gfx0.bin 100000 0\nLOAD8 gfx1.bin 100000 100000\n"
      "LOADROMEVENODD gfx2h.bin gfx2l.bin 100000 200000\n"
      "[masterCpu]\nSIZE 100000\nLOADROMEVENODD m_even.bin m_odd.bin 40000 0\n"
      "[slaveCpu]\nSIZE 100000\nLOADROM16SWAP s_swapped.bin 80000 0\n"
      "[collisionData]\nSIZE 200000\nLOADROMEVENODD d_even.bin d_odd.bin 100000 0\n[end]\n");
  findKey("SYSTEM");
  EXPECT_EQ(readValue(), "System21");
  findKey("GAMENAME");
  EXPECT_EQ(readValue(), "Sample Game");
  findKey("DIRECTORY");
  EXPECT_EQ(readValue(), "sample");
  findKey("[gfx]");
  findNextKey("SIZE");
  EXPECT_EQ(readValue(), "400000");
  EXPECT_EQ(readValue(), "LOAD8");
  EXPECT_EQ(readValue(), "gfx0.bin");
  findKey("[collisionData]");
  findNextKey("size");
  EXPECT_EQ(readValue(), "200000");
  Values rest;
  for (std::string v = readValue(); !v.empty(); v = readValue()) rest.push_back(v);
  EXPECT_EQ(rest, (Values{"LOADROMEVENODD", "d_even.bin", "d_odd.bin", "100000", "0", "[end]"}));
}

TEST_F(ReaderTest, MegabyteTokensAndQuotedTextsAreReadWhole) {
  std::string bare(1 << 20, 'x');
  std::string quoted(1 << 20, 'q');
  for (size_t i = 0; i < quoted.size(); i += 1000) quoted[i] = ' ';
  quoted[0] = 'Q';
  open(bare + " \" " + quoted + "\" KEY value");
  EXPECT_EQ(readValue(), bare);
  EXPECT_EQ(readValue(), quoted);
  findKey("key");
  EXPECT_EQ(readValue(), "value");
}

TEST_F(ReaderTest, BinaryContentIsTokenisedWithoutHarm) {
  std::string data;
  for (int i = 0; i < 4096; ++i) data.push_back(static_cast<char>((i * 73 + 11) & 0xFF));
  data += std::string("\0KEY", 4) + " \" val\0ue\" ";
  open(data);
  findKey("NOT THERE");
  EXPECT_TRUE(driverFileAtEnd());
  findKey("KEY");
  // The NUL glued before KEY makes it another token; the key is absent.
  EXPECT_TRUE(driverFileAtEnd());
  open(std::string("a\0b KEY \" v\0w\"", 14));
  EXPECT_EQ(readValue(), std::string("a\0b", 3));
  findKey("KEY");
  EXPECT_EQ(readValue(), std::string("v\0w", 3));
}

TEST_F(ReaderTest, EmptyFile) {
  open("");
  EXPECT_EQ(readValue(), "");
  EXPECT_TRUE(driverFileAtEnd());
  findKey("anything");
  EXPECT_TRUE(driverFileAtEnd());
}

TEST(ReaderWithoutFile, EveryOperationIsSafe) {
  closeDriverFile();
  EXPECT_EQ(openDriverFile("/nonexistent/dir/file.drv"), 0);
  EXPECT_EQ(openDriverFile(nullptr), 0);
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readToken(), "");
  EXPECT_EQ(readValue(), "");
  findKey("GAMENAME");
  findNextKey("GAMENAME");
  findKey(nullptr);
  closeDriverFile();
}

TEST(ReaderWithoutFile, DirectoryOpenedAsFileEndsAtOnce) {
  // fopen accepts a directory; every read then fails.
  if (openDriverFile(fs::temp_directory_path().c_str()) == 0) GTEST_SKIP() << "not opened";
  findKey("Romdir");
  EXPECT_TRUE(driverFileAtEnd());
  EXPECT_EQ(readValue(), "");
  closeDriverFile();
}

TEST_F(ReaderTest, OpeningAnotherFileReplacesTheCurrentStream) {
  open("first 1");
  EXPECT_EQ(readValue(), "first");
  fs::path other = path;
  other += ".other";
  {
    FILE* file = fopen(other.c_str(), "w");
    ASSERT_NE(file, nullptr);
    fputs("second 2", file);
    fclose(file);
  }
  ASSERT_EQ(openDriverFile(other.c_str()), 1);
  EXPECT_EQ(readValue(), "second");
  closeDriverFile();
  fs::remove(other);
  EXPECT_EQ(readValue(), "");
}

}  // namespace

namespace {

TEST(SameTextIgnoringCase, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(sameTextIgnoringCase("LOADROM16SWAP", "loadrom16swap"));
  EXPECT_TRUE(sameTextIgnoringCase("", ""));
  EXPECT_FALSE(sameTextIgnoringCase("SIZE", "SIZ"));
  EXPECT_FALSE(sameTextIgnoringCase("SIZ", "SIZE"));
  EXPECT_FALSE(sameTextIgnoringCase("[gfx]", "{GFX}"));          // '[' and '{' differ by 0x20 too
  EXPECT_FALSE(sameTextIgnoringCase("\xc9t\xc9", "\xe9t\xe9"));  // no folding beyond ASCII
  EXPECT_FALSE(sameTextIgnoringCase(std::string("a\0b", 3), "a"));
  EXPECT_FALSE(sameTextIgnoringCase("a", nullptr));
}

}  // namespace
