// Shared pieces of the launcher tests: a scratch driver directory, the
// message boxes seen, the application object and the dialog's controls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>
#include <QVariant>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "launcher/launcher.h"

namespace launchertest {

namespace fs = std::filesystem;

// One QApplication for the whole test process, on the offscreen platform.
inline void ensureApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "launcher_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

struct Box {
  std::string text;
  std::string caption;
  void* owner;
  bool launcherVisible;  // whether a launcher window was on screen then
};
inline std::vector<Box> boxes;

inline bool launcherOnScreen() {
  if (QApplication::instance() == nullptr) return false;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (qobject_cast<QDialog*>(widget) != nullptr && widget->isVisible()) return true;
  }
  return false;
}

inline void recordBox(const char* text, const char* caption, void* owner) {
  boxes.push_back(Box{text, caption, owner, launcherOnScreen()});
}

// A fresh scratch directory with a driver directory inside; the working
// directory, settings and hook are restored afterwards.
class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ensureApplication();
    boxes.clear();
    setMessageBoxHook(recordBox);
    savedDirectory = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "sb-launcher-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    driverDirectory = root / "drv";
    fs::create_directories(driverDirectory);
    savedSettings = settings;
    settings.Drvdir = driverDirectory.string() + "/";
    sortAscending = true;
  }
  void TearDown() override {
    setMessageBoxHook(nullptr);
    settings = savedSettings;
    fs::current_path(savedDirectory);
    std::error_code error;
    fs::remove_all(root, error);
  }

  // A driver file with the four header keys, values with spaces quoted; an
  // empty value leaves its key out.
  void writeDriver(const std::string& fileName, const std::string& gameName,
                   const std::string& directory, const std::string& date,
                   const std::string& system) {
    std::ofstream out(driverDirectory / fileName);
    auto value = [](const std::string& text) {
      return text.find(' ') == std::string::npos ? text : "\" " + text + "\"";
    };
    out << "# written by the launcher tests #\n";
    if (!gameName.empty()) out << "GAMENAME " << value(gameName) << "\n";
    if (!directory.empty()) out << "DIRECTORY " << value(directory) << "\n";
    if (!date.empty()) out << "DATE " << value(date) << "\n";
    if (!system.empty()) out << "SYSTEM " << value(system) << "\n";
    out << "[gfx]\nSIZE 400000\n[end]\n";
  }

  fs::path savedDirectory;
  fs::path root;
  fs::path driverDirectory;
  Settings savedSettings;
};

// ---- The dialog's controls, found by their template identifiers ---------
template <typename T>
T* control(QDialog& dialog, int id) {
  for (T* child : dialog.findChildren<T*>()) {
    if (child->property("controlId").toInt() == id) return child;
  }
  return nullptr;
}
constexpr int listId = 1007;
constexpr int playLocalId = 1001;
constexpr int playNetworkId = 1002;
constexpr int exitId = 2;
constexpr int disableSoundId = 1003;
constexpr int showFpsId = 1004;

inline QTreeWidget* gameList(QDialog& dialog) {
  return control<QTreeWidget>(dialog, listId);
}

// The texts of one column, top row first.
inline std::vector<std::string> columnTexts(QTreeWidget* list, int column = 0) {
  std::vector<std::string> texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    texts.push_back(list->topLevelItem(i)->text(column).toStdString());
  return texts;
}

inline QTreeWidgetItem* rowNamed(QTreeWidget* list, const std::string& text, int column = 0) {
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (list->topLevelItem(i)->text(column).toStdString() == text) return list->topLevelItem(i);
  }
  return nullptr;
}

// The centre of one cell, in viewport coordinates.
inline QPoint cellCentre(QTreeWidget* list, QTreeWidgetItem* item, int column) {
  const QRect row = list->visualItemRect(item);
  QHeaderView* header = list->header();
  return QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                row.center().y());
}

inline void clickCell(QTreeWidget* list, QTreeWidgetItem* item, int column) {
  ASSERT_NE(item, nullptr);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                    cellCentre(list, item, column));
}

inline void doubleClickCell(QTreeWidget* list, QTreeWidgetItem* item, int column) {
  ASSERT_NE(item, nullptr);
  const QPoint at = cellCentre(list, item, column);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

inline void clickHeader(QTreeWidget* list, int column) {
  QHeaderView* header = list->header();
  QTest::mouseClick(
      header->viewport(), Qt::LeftButton, Qt::NoModifier,
      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
             header->height() / 2));
}

inline void clickButton(QDialog& dialog, int id) {
  QWidget* button = control<QWidget>(dialog, id);
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

// Runs one launcher pass with the dialog shown and `script` acting in it. A
// script that leaves the dialog open is a failure; the pass is then ended
// with "&Exit" so the test does not hang.
template <typename Script>
void runPass(Script script) {
  runLauncherDialog([&script](QDialog& dialog) {
    script(dialog);
    if (dialog.isVisible()) {
      ADD_FAILURE() << "the launcher dialog is still open after the script";
      clickButton(dialog, exitId);
      if (dialog.isVisible()) dialog.done(0);
    }
  });
}

}  // namespace launchertest
