// Message boxes: the hook that tests observe, the headless line on standard
// error, and when the program counts as headless.
#include <QCoreApplication>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/app.h"
#include "support.h"

namespace {

using namespace shelltest;

// Sets environment variables for one case and puts them back afterwards.
class EnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : names) {
      const char* value = getenv(name);
      saved.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < names.size(); ++i) {
      if (saved[i])
        setenv(names[i], saved[i]->c_str(), 1);
      else
        unsetenv(names[i]);
    }
    setHeadless(false);
    setMessageBoxHook(nullptr);
  }
  static void set(const char* name, const char* value) {
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  std::vector<const char*> names{"SB_HEADLESS", "DISPLAY", "WAYLAND_DISPLAY"};
  std::vector<std::optional<std::string>> saved;
};

TEST_F(EnvironmentTest, HeadlessWhenAskedOrWithoutADisplay) {
  struct Case {
    bool asked;
    const char* sbHeadless;
    const char* display;
    const char* wayland;
    bool expected;
  };
  const Case cases[] = {
      {false, nullptr, nullptr, nullptr, true},
      {false, nullptr, ":0", nullptr, false},
      {false, nullptr, nullptr, "wayland-0", false},
      {false, nullptr, "", "", true},
      {true, nullptr, ":0", nullptr, true},
      {false, "1", ":0", "wayland-0", true},
      {false, "0", ":0", nullptr, false},
      {false, "", ":0", nullptr, false},
  };
  for (const Case& c : cases) {
    setHeadless(c.asked);
    set("SB_HEADLESS", c.sbHeadless);
    set("DISPLAY", c.display);
    set("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(isHeadless(), c.expected)
        << c.asked << " " << (c.sbHeadless ? c.sbHeadless : "-") << " "
        << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-");
  }
}

TEST_F(EnvironmentTest, HeadlessBoxIsOneLineOnStandardError) {
  set("SB_HEADLESS", "1");
  ::testing::internal::CaptureStderr();
  showMessageBox("Current options cannot be saved", "Warning", nullptr);
  showMessageBox("sample.drv", "Error while loading", nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Warning: Current options cannot be saved\nError while loading: sample.drv\n");
}

TEST_F(EnvironmentTest, HeadlessOptionAloneIsEnough) {
  set("SB_HEADLESS", nullptr);
  set("DISPLAY", ":99");
  setHeadless(true);
  ::testing::internal::CaptureStderr();
  showMessageBox("Cannot open log file", "Fatal error", nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Fatal error: Cannot open log file\n");
}

TEST_F(EnvironmentTest, HookSeesEveryBoxAndReplacesTheShowing) {
  set("SB_HEADLESS", "1");
  shownBoxes.clear();
  setMessageBoxHook(recordBox);
  int owner = 0;
  ::testing::internal::CaptureStderr();
  showMessageBox("text", "caption", &owner);
  showMessageBox(nullptr, nullptr, nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(shownBoxes.size(), 2u);
  EXPECT_EQ(shownBoxes[0], (Box{"text", "caption", &owner}));
  EXPECT_EQ(shownBoxes[1], (Box{"", "", nullptr}));
  // Without the hook the box goes to standard error again.
  setMessageBoxHook(nullptr);
  ::testing::internal::CaptureStderr();
  showMessageBox("again", "Note", nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Note: again\n");
  EXPECT_EQ(shownBoxes.size(), 2u);
}

TEST_F(EnvironmentTest, NoApplicationIsCreatedHeadless) {
  set("SB_HEADLESS", "1");
  ensureGuiApplication();
  EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
