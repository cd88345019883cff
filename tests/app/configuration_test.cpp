// The configuration file: the written layout byte for byte, every reading
// rule, round trips and damaged files.
#include <string>

#include "app/app.h"
#include "support.h"

namespace {

using namespace shelltest;

constexpr const char* iniPath = "stoneBreaker.ini";

class ConfigurationTest : public ScratchDirectory {
 protected:
  // Loads a file of the given text and returns what saving writes back.
  std::string loadAndSave(const std::string& text) {
    writeFile(iniPath, text);
    loadConfiguration(iniPath);
    std::string back = "back.ini";
    saveConfiguration(back.c_str());
    return readFile(back);
  }
  // The default file with one line replaced.
  static std::string defaultsWith(const std::string& line, const std::string& replacement) {
    std::string text = defaultConfigurationText();
    size_t at = text.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    if (at != std::string::npos) text.replace(at, line.size(), replacement);
    return text;
  }
};

TEST_F(ConfigurationTest, DefaultsMatchTheLinuxLayout) {
  Settings s = defaultSettings();
  EXPECT_EQ(s.Romdir, "./roms/");
  EXPECT_EQ(s.AlternateRomdir1, "./roms/");
  EXPECT_EQ(s.AlternateRomdir2, "./roms/");
  EXPECT_EQ(s.AlternateRomdir3, "./roms/");
  EXPECT_EQ(s.Logdir, "./log/");
  EXPECT_EQ(s.Drvdir, "./drv/");
  EXPECT_EQ(s.Epmdir, "./epm/");
  EXPECT_EQ(s.Stadir, "./sta/");
  EXPECT_EQ(s.Frameskip, 0);
  EXPECT_TRUE(s.VerifyRoms);
  EXPECT_FALSE(s.debugMode);
  EXPECT_TRUE(s.firstTimeRun);
  EXPECT_EQ(s.threadPriority, 1);
  EXPECT_FALSE(s.hardwareStretch);
  EXPECT_TRUE(s.surfacesInSystemMemory);
}

TEST_F(ConfigurationTest, MissingFileIsWrittenAtOnceWithExactlyTheNineteenLines) {
  settings.Romdir = "stale";
  loadConfiguration(iniPath);
  EXPECT_EQ(settings, defaultSettings());
  EXPECT_EQ(readFile(iniPath), defaultConfigurationText());
  EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(ConfigurationTest, SaveWritesEveryFieldInItsFormat) {
  settings.Romdir = "/a b/";
  settings.AlternateRomdir1 = "r1/";
  settings.AlternateRomdir2 = "r2/";
  settings.AlternateRomdir3 = "r3/";
  settings.Logdir = "l/";
  settings.Drvdir = "d/";
  settings.Epmdir = "e/";
  settings.Stadir = "s/";
  settings.Frameskip = 255;
  settings.VerifyRoms = false;
  settings.debugMode = true;
  settings.firstTimeRun = false;
  settings.threadPriority = -15;
  settings.hardwareStretch = true;
  settings.surfacesInSystemMemory = false;
  saveConfiguration(iniPath);
  EXPECT_EQ(readFile(iniPath),
            "#                                 #\n"
            "# Stonebreaker configuration file #\n"
            "#                                 #\n"
            "\n"
            "Romdir       \t\" /a b/\"\n"
            "AlternateRomdir1       \t\" r1/\"\n"
            "AlternateRomdir2       \t\" r2/\"\n"
            "AlternateRomdir3       \t\" r3/\"\n"
            "Logdir       \t\" l/\"\n"
            "Drvdir       \t\" d/\"\n"
            "Epmdir       \t\" e/\"\n"
            "Stadir       \t\" s/\"\n"
            "\n"
            "Frameskip    \t255\n"
            "VerifyRoms   \tno\n"
            "debugMode    \tyes\n"
            "firstTimeRun \tno\n"
            "threadPriority  idle\n"
            "hardwareStretch \tyes\n"
            "surfacesInSystemMemory no\n");
}

TEST_F(ConfigurationTest, ExistingFileIsReadNotRewritten) {
  std::string text = "debugMode yes\n";
  writeFile(iniPath, text);
  loadConfiguration(iniPath);
  EXPECT_TRUE(settings.debugMode);
  EXPECT_EQ(readFile(iniPath), text);
}

TEST_F(ConfigurationTest, DefaultFileRoundTripsUnchanged) {
  EXPECT_EQ(loadAndSave(defaultConfigurationText()), defaultConfigurationText());
  EXPECT_EQ(settings, defaultSettings());
}

TEST_F(ConfigurationTest, EveryFieldRoundTrips) {
  Settings s;
  s.Romdir = "C:\\games\\my roms\\";
  s.AlternateRomdir1 = "/mnt/roms two/";
  s.AlternateRomdir2 = "";
  s.AlternateRomdir3 = "x\ty/";
  s.Logdir = "#";
  s.Drvdir = "# not a comment #";
  s.Epmdir = "Frameskip";  // directories that spell keys stay values
  s.Stadir = "threadPriority";
  s.Frameskip = 7;
  s.VerifyRoms = false;
  s.debugMode = true;
  s.firstTimeRun = false;
  s.threadPriority = 15;
  s.hardwareStretch = true;
  s.surfacesInSystemMemory = false;
  settings = s;
  saveConfiguration(iniPath);
  std::string written = readFile(iniPath);
  settings = defaultSettings();
  loadConfiguration(iniPath);
  EXPECT_EQ(settings, s);
  saveConfiguration(iniPath);
  EXPECT_EQ(readFile(iniPath), written);
}

TEST_F(ConfigurationTest, QuotedDirectoryWithSpacesAndTrailingBackslashSurvives) {
  std::string text = defaultsWith("Romdir       \t\" ./roms/\"",
                                  "Romdir       \t\" C:\\Program Files\\S B\\roms\\\"");
  EXPECT_EQ(loadAndSave(text), text);
  EXPECT_EQ(settings.Romdir, "C:\\Program Files\\S B\\roms\\");
}

TEST_F(ConfigurationTest, YesIsCaseInsensitiveAndAnythingElseIsNo) {
  struct Case {
    const char* value;
    bool expected;
  };
  const Case cases[] = {{"yes", true},   {"YES", true}, {"yEs", true},   {"1", false},
                        {"true", false}, {"no", false}, {"yess", false}, {"ye", false}};
  for (const Case& c : cases) {
    std::string back = loadAndSave(std::string("VerifyRoms ") + c.value + "\ndebugMode " + c.value +
                                   "\nfirstTimeRun " + c.value + "\nhardwareStretch " + c.value +
                                   "\nsurfacesInSystemMemory " + c.value + "\n");
    EXPECT_EQ(settings.VerifyRoms, c.expected) << c.value;
    EXPECT_EQ(settings.debugMode, c.expected) << c.value;
    EXPECT_EQ(settings.firstTimeRun, c.expected) << c.value;
    EXPECT_EQ(settings.hardwareStretch, c.expected) << c.value;
    EXPECT_EQ(settings.surfacesInSystemMemory, c.expected) << c.value;
    const char* word = c.expected ? "yes" : "no";
    EXPECT_NE(back.find(std::string("VerifyRoms   \t") + word + "\n"), std::string::npos);
    EXPECT_NE(back.find(std::string("surfacesInSystemMemory ") + word + "\n"), std::string::npos);
  }
}

TEST_F(ConfigurationTest, QuotedYesCountsAsYes) {
  loadAndSave("debugMode \" yes\"\n");
  EXPECT_TRUE(settings.debugMode);
}

TEST_F(ConfigurationTest, ThreadPriorityNamesReadAndWritten) {
  struct Case {
    const char* read;
    int32_t level;
    const char* written;
  };
  const Case cases[] = {
      {"idle", -15, "idle"},
      {"IDLE", -15, "idle"},
      {"lowest", -2, "lowest"},
      {"belownormal", -1, "belowNormal"},
      {"Normal", 0, "normal"},
      {"ABOVENORMAL", 1, "aboveNormal"},
      {"HIGHEST", 2, "highest"},
      {"highest", 2, "highest"},
      {"timecritical", 15, "timeCritical"},
  };
  for (const Case& c : cases) {
    std::string back = loadAndSave(std::string("threadPriority ") + c.read + "\n");
    EXPECT_EQ(settings.threadPriority, c.level) << c.read;
    EXPECT_NE(back.find(std::string("\nthreadPriority  ") + c.written + "\n"), std::string::npos)
        << c.read;
  }
}

TEST_F(ConfigurationTest, UnknownThreadPriorityKeepsTheDefault) {
  for (const char* value : {"2", "high", "realtime", "\" high est\""}) {
    loadAndSave(std::string("threadPriority ") + value + "\n");
    EXPECT_EQ(settings.threadPriority, 1) << value;
  }
}

TEST_F(ConfigurationTest, NumberOutsideTheTableIsWrittenAsNormal) {
  for (int32_t level : {3, -3, 100, -2147483647 - 1}) {
    settings.threadPriority = level;
    saveConfiguration(iniPath);
    EXPECT_NE(readFile(iniPath).find("\nthreadPriority  normal\n"), std::string::npos) << level;
  }
}

TEST_F(ConfigurationTest, FrameskipReadsLikePercentIAndKeepsTheLow8Bits) {
  struct Case {
    const char* value;
    int expected;
  };
  const Case cases[] = {
      {"0x10", 16},
      {"0X1f", 31},
      {"300", 44},
      {"010", 8},
      {"-1", 255},
      {"+5", 5},
      {"-300", 212},
      {"255", 255},
      {"256", 0},
      {"12abc", 12},
      {"08", 0},
      {"0x", 0},
      {"0xg", 0},
      {"0", 0},
      {"123456789012345678901234", 242},
      {"0x123456789abcdef0123", 35},
  };
  for (const Case& c : cases) {
    std::string back = loadAndSave(std::string("Frameskip ") + c.value + "\n");
    EXPECT_EQ(settings.Frameskip, c.expected) << c.value;
    EXPECT_NE(back.find("\nFrameskip    \t" + std::to_string(c.expected) + "\n"), std::string::npos)
        << c.value;
  }
}

TEST_F(ConfigurationTest, FrameskipThatIsNotANumberKeepsItsValue) {
  for (const char* value : {"abc", "-", "+", "x10", "\" \"", "\"\n\""}) {
    loadAndSave(std::string("Frameskip 9\n"));
    ASSERT_EQ(settings.Frameskip, 9);
    // Loading starts from the defaults, so a bad value leaves 0.
    loadAndSave(std::string("Frameskip ") + value + "\n");
    EXPECT_EQ(settings.Frameskip, 0) << value;
  }
}

TEST_F(ConfigurationTest, KeysInAnyOrderAndCaseWithoutOrWithLongerHeadComments) {
  std::string text =
      "# a longer head comment\n with several lines # # and a second one #\n"
      "SURFACESINSYSTEMMEMORY no\nstadir \" s/\"\nFRAMESKIP 3\nthreadpriority lowest\n"
      "ROMDIR \" r/\"\ndebugmode yes\ndrvdir \" d/\"\nverifyroms no\n";
  loadAndSave(text);
  Settings expected = defaultSettings();
  expected.surfacesInSystemMemory = false;
  expected.Stadir = "s/";
  expected.Frameskip = 3;
  expected.threadPriority = -2;
  expected.Romdir = "r/";
  expected.debugMode = true;
  expected.Drvdir = "d/";
  expected.VerifyRoms = false;
  EXPECT_EQ(settings, expected);
}

TEST_F(ConfigurationTest, KeysInsideCommentsAreIgnored) {
  loadAndSave("# debugMode yes Romdir \" hidden/\" # Frameskip 4\n");
  Settings expected = defaultSettings();
  expected.Frameskip = 4;
  EXPECT_EQ(settings, expected);
}

TEST_F(ConfigurationTest, MissingKeysKeepTheirDefaults) {
  loadAndSave("Drvdir \" drivers/\"\n");
  Settings expected = defaultSettings();
  expected.Drvdir = "drivers/";
  EXPECT_EQ(settings, expected);
}

TEST_F(ConfigurationTest, EmptyQuotedDirectoryIsAValue) {
  loadAndSave("Romdir \" \"\nDrvdir \" \"");
  EXPECT_EQ(settings.Romdir, "");
  EXPECT_EQ(settings.Drvdir, "");
}

TEST_F(ConfigurationTest, EmptyFileKeepsDefaultsAndIsNotRewritten) {
  std::string back = loadAndSave("");
  EXPECT_EQ(settings, defaultSettings());
  EXPECT_EQ(back, defaultConfigurationText());
  EXPECT_EQ(readFile(iniPath), "");
}

TEST_F(ConfigurationTest, BinaryFileKeepsDefaults) {
  std::string data;
  uint32_t x = 12345;
  for (int i = 0; i < 65536; ++i) {
    x = x * 1103515245u + 12345u;
    data.push_back(static_cast<char>(x >> 24));
  }
  EXPECT_EQ(loadAndSave(data), defaultConfigurationText());
  EXPECT_EQ(settings, defaultSettings());
}

TEST_F(ConfigurationTest, TruncatedInsideAQuotedValue) {
  // The unclosed value runs to the end of the file; later keys are absent.
  loadAndSave("debugMode yes\nRomdir \" ./half way");
  Settings expected = defaultSettings();
  expected.debugMode = true;
  expected.Romdir = "./half way";
  EXPECT_EQ(settings, expected);
}

TEST_F(ConfigurationTest, TruncatedRightAfterTheOpeningQuote) {
  for (const char* tail : {"Romdir \"", "Romdir \" ", "Romdir \"   ", "Romdir"}) {
    loadAndSave(std::string("debugMode yes\n") + tail);
    Settings expected = defaultSettings();
    expected.debugMode = true;
    EXPECT_EQ(settings, expected) << tail;
  }
}

TEST_F(ConfigurationTest, TruncatedInsideAComment) {
  loadAndSave("Frameskip 5 # an unclosed comment Romdir \" hidden/\" debugMode yes");
  Settings expected = defaultSettings();
  expected.Frameskip = 5;
  EXPECT_EQ(settings, expected);
}

TEST_F(ConfigurationTest, MegabyteTokensAreReadWhole) {
  std::string huge(1 << 20, 'h');
  std::string dir = std::string(1 << 20, 'd') + "/";
  dir[1000] = ' ';
  std::string back =
      loadAndSave(huge + " # " + huge + " # Romdir \" " + dir + "\"\n" + huge + " debugMode yes\n");
  EXPECT_EQ(settings.Romdir, dir);
  EXPECT_TRUE(settings.debugMode);
  loadAndSave(back);
  EXPECT_EQ(settings.Romdir, dir);
}

TEST_F(ConfigurationTest, ValueThatEndsTheFileWithoutLineEnd) {
  loadAndSave("Frameskip 0x20");
  EXPECT_EQ(settings.Frameskip, 32);
  loadAndSave("Drvdir \" d/\"");
  EXPECT_EQ(settings.Drvdir, "d/");
}

TEST_F(ConfigurationTest, UnwritableFileGivesTheWarningAndNothingElse) {
  saveConfiguration("no/such/directory/stoneBreaker.ini");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"Current options cannot be saved", "Warning", nullptr}));
  // A directory in the file's place cannot be written either (even by root).
  fs::create_directory("taken.ini");
  saveConfiguration("taken.ini");
  EXPECT_EQ(shownBoxes.size(), 2u);
}

TEST_F(ConfigurationTest, MissingFileInUnwritablePlaceWarnsAndKeepsDefaults) {
  settings.debugMode = true;
  loadConfiguration("no/such/directory/stoneBreaker.ini");
  EXPECT_EQ(settings, defaultSettings());
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].caption, "Warning");
}

TEST_F(ConfigurationTest, FullDiskGivesTheWarning) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  saveConfiguration("/dev/full");
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0], (Box{"Current options cannot be saved", "Warning", nullptr}));
}

TEST_F(ConfigurationTest, DirectoryInTheFilesPlaceLoadsDefaults) {
  fs::create_directory(iniPath);
  settings.debugMode = true;
  loadConfiguration(iniPath);
  EXPECT_EQ(settings, defaultSettings());
}

}  // namespace
