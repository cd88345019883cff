// Message boxes: the hook that tests observe, the headless line on standard
// error, and when the program counts as headless.
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/app.h"
#include "support.h"

// The system's font configuration library keeps a few blocks for the life
// of the process, which the leak checker of the sanitizer build would
// report once a Qt box has been shown.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

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
  std::vector<const char*> names{"SB_HEADLESS", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
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

// With a display (the offscreen platform stands in for one) the box is a
// modal Qt message box with the text, the caption and one OK button. This
// case creates the process's QApplication, so it comes last.
TEST_F(EnvironmentTest, WithADisplayTheBoxIsAModalQtBoxWithOneOkButton) {
  set("SB_HEADLESS", nullptr);
  set("DISPLAY", ":0");
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ensureGuiApplication();
  ASSERT_NE(qobject_cast<QApplication*>(QCoreApplication::instance()), nullptr);
  ensureGuiApplication();  // only once

  struct Seen {
    bool found = false;
    QString text, title;
    int buttons = 0;
    bool ok = false;
    bool modal = false;
    QWidget* parent = nullptr;
  };
  QWidget owner;
  for (QWidget* expectedOwner : {static_cast<QWidget*>(nullptr), &owner}) {
    Seen seen;
    // Answers the box from inside its own loop, as a user would.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&]() {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      seen.found = true;
      seen.text = box->text();
      seen.title = box->windowTitle();
      seen.buttons = static_cast<int>(box->buttons().size());
      seen.ok = box->button(QMessageBox::Ok) != nullptr;
      seen.modal = box->isModal();
      seen.parent = box->parentWidget();
      if (seen.ok) box->button(QMessageBox::Ok)->click();
      answer.stop();
    });
    answer.start(10);
    showMessageBox("Cannot open log file", "Fatal error", expectedOwner);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text.toStdString(), "Cannot open log file");
    EXPECT_EQ(seen.title.toStdString(), "Fatal error");
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_TRUE(seen.ok);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.parent, expectedOwner);
  }
}

}  // namespace
