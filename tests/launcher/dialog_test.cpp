// The launcher dialog driven as a user drives it: clicks on rows, cells,
// headers and buttons, double clicks, Escape and the close box, on the
// offscreen platform, with the message boxes observed through the hook.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <string>
#include <vector>

#include "launcher/launcher.h"
#include "support.h"

// Fontconfig keeps caches that it never frees; they are not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace {

using namespace launchertest;
using Texts = std::vector<std::string>;

class DialogTest : public LauncherTest {
 protected:
  // Four games whose columns order them differently.
  void writeFourGames() {
    writeDriver("d1.drv", "Delta Run", "drun", "1991", "System21");
    writeDriver("d2.drv", "alpha strike", "astrike", "1990", "system21");
    writeDriver("d3.drv", "Charlie", "charlie", "1991", "CPS1");
    writeDriver("d4.drv", "Bravo", "bravo", "1989", "System21");
  }
};

// ---- The template --------------------------------------------------------

// Dialog units to pixels with the 8-point dialog font's base units (6 x 13
// pixels per 4 x 8 units); each edge is mapped and rounded.
int unitsToPixelsX(int units) {
  return (units * 6 + 2) / 4;
}
int unitsToPixelsY(int units) {
  return (units * 13 + 4) / 8;
}
QRect unitsToPixels(int x, int y, int width, int height) {
  const int left = unitsToPixelsX(x);
  const int top = unitsToPixelsY(y);
  return QRect(left, top, unitsToPixelsX(x + width) - left, unitsToPixelsY(y + height) - top);
}

TEST_F(DialogTest, LooksAsTheTemplateSays) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Stonebreaker 0.0.1a");
    EXPECT_EQ(dialog.size(), QSize(unitsToPixelsX(292), unitsToPixelsY(151)));
    EXPECT_EQ(dialog.minimumSize(), dialog.size());  // fixed size
    EXPECT_EQ(dialog.maximumSize(), dialog.size());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowContextHelpButtonHint);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    // Centred with its frame, whose width the window system adds.
    EXPECT_LE((dialog.frameGeometry().center() - screen.center()).manhattanLength(), 3);

    struct Control {
      int id;
      QRect units;  // x, y, width, height
      const char* text;
    };
    const Control controls[] = {
        {listId, {5, 5, 280, 80}, nullptr},
        {playLocalId, {220, 90, 65, 14}, "&Play (Local)"},
        {playNetworkId, {220, 110, 65, 14}, "Play (&Network)"},
        {exitId, {220, 130, 65, 14}, "&Exit"},
        {disableSoundId, {10, 100, 100, 10}, "&Disable sound emulation"},
        {showFpsId, {10, 115, 100, 10}, "&Show FPS"},
    };
    for (const Control& c : controls) {
      SCOPED_TRACE(c.id);
      QWidget* widget = control<QWidget>(dialog, c.id);
      ASSERT_NE(widget, nullptr);
      EXPECT_EQ(widget->parentWidget(), &dialog);
      EXPECT_EQ(widget->geometry(),
                unitsToPixels(c.units.x(), c.units.y(), c.units.width(), c.units.height()));
      if (c.text != nullptr) {
        EXPECT_EQ(widget->property("text").toString().toStdString(), c.text);
      }
    }
    // Whatever font stands in for the dialog font, no text is cut off.
    for (int id : {disableSoundId, showFpsId}) {
      auto* box = control<QCheckBox>(dialog, id);
      EXPECT_LE(box->sizeHint().width(), box->width()) << box->text().toStdString();
    }
    for (int id : {playLocalId, playNetworkId, exitId}) {
      auto* button = control<QPushButton>(dialog, id);
      const QString shown = QString(button->text()).remove(QLatin1Char('&'));
      EXPECT_LT(button->fontMetrics().horizontalAdvance(shown) + 8, button->width());
    }
    auto* play = control<QPushButton>(dialog, playLocalId);
    auto* network = control<QPushButton>(dialog, playNetworkId);
    auto* exit = control<QPushButton>(dialog, exitId);
    EXPECT_TRUE(play->isDefault());
    EXPECT_FALSE(network->isEnabled());
    EXPECT_TRUE(exit->isEnabled());

    const QList<QGroupBox*> groups = dialog.findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0]->title(), "Options");
    EXPECT_EQ(groups[0]->geometry(), unitsToPixels(5, 90, 110, 55));

    QTreeWidget* list = gameList(dialog);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    EXPECT_FALSE(list->rootIsDecorated());
    const char* captions[] = {"Game name", "Zip", "Year", "Type"};
    const int widths[] = {170, 80, 50, 100};
    ASSERT_EQ(list->columnCount(), 4);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(list->headerItem()->text(i).toStdString(), captions[i]);
      EXPECT_EQ(list->header()->sectionSize(i), widths[i]);
      EXPECT_TRUE(list->header()->defaultAlignment() & Qt::AlignLeft);
    }
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_EQ(list->header()->sortIndicatorSection(), -1);  // listed by name, no sort yet
    clickButton(dialog, exitId);
  });
}

TEST_F(DialogTest, RowsShowTheHeaderKeysInAscendingNameOrder) {
  writeFourGames();
  writeDriver("e.drv", "Echo", "echo", "1993", "Taito F2");
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    EXPECT_EQ(columnTexts(list, 0),
              (Texts{"alpha strike", "Bravo", "Charlie", "Delta Run", "Echo"}));
    EXPECT_EQ(columnTexts(list, 1), (Texts{"astrike", "bravo", "charlie", "drun", "echo"}));
    EXPECT_EQ(columnTexts(list, 2), (Texts{"1990", "1989", "1991", "1991", "1993"}));
    // System21 in any case reads "System 21"; anything else as written.
    EXPECT_EQ(columnTexts(list, 3),
              (Texts{"System 21", "System 21", "CPS1", "System 21", "Taito F2"}));
    EXPECT_EQ(catalogue.size(), 5u);
    clickButton(dialog, exitId);
  });
  EXPECT_TRUE(catalogue.empty());  // cleared when the dialog closes
}

TEST_F(DialogTest, ADriverLackingAKeyShowsAnEmptyCell) {
  writeDriver("x.drv", "No Date", "nodate", "", "System21");
  writeDriver("y.drv", "No System", "nosystem", "1990", "");
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    EXPECT_EQ(columnTexts(list, 0), (Texts{"No Date", "No System"}));
    EXPECT_EQ(columnTexts(list, 2), (Texts{"", "1990"}));
    EXPECT_EQ(columnTexts(list, 3), (Texts{"System 21", ""}));
    clickButton(dialog, exitId);
  });
}

// ---- Choosing a game ------------------------------------------------------

TEST_F(DialogTest, ClickingAnyCellOfARowThenPlaySelectsThatRowsDriver) {
  writeFourGames();
  struct Case {
    const char* game;
    int column;
    const char* driver;
  };
  const Case cases[] = {
      {"Charlie", gameNameColumn, "charlie.drv"},
      {"Bravo", zipColumn, "bravo.drv"},
      {"Delta Run", yearColumn, "drun.drv"},
      {"alpha strike", typeColumn, "astrike.drv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.game);
    QPointer<QDialog> seen;
    runPass([&](QDialog& dialog) {
      seen = &dialog;
      QTreeWidget* list = gameList(dialog);
      clickCell(list, rowNamed(list, c.game), c.column);
      EXPECT_EQ(selectedDriver, c.driver);
      ASSERT_EQ(list->selectedItems().size(), 1);
      EXPECT_EQ(list->selectedItems()[0]->text(0).toStdString(), c.game);
      EXPECT_TRUE(dialog.isVisible());  // a click alone plays nothing
      clickButton(dialog, playLocalId);
      EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(launcherChoice, 3);
    EXPECT_EQ(selectedDriver, c.driver);
    EXPECT_TRUE(seen.isNull());  // destroyed before the pass returned
    EXPECT_TRUE(boxes.empty());
  }
}

TEST_F(DialogTest, ALaterClickReplacesTheSelection) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Bravo"), 0);
    clickCell(list, rowNamed(list, "Delta Run"), 1);
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "drun.drv");
}

TEST_F(DialogTest, DoubleClickingARowPlaysItAtOnce) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    doubleClickCell(list, rowNamed(list, "Charlie"), yearColumn);
    EXPECT_FALSE(dialog.isVisible());
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "charlie.drv");
}

TEST_F(DialogTest, PlayWithoutASelectionAsksForOneAndStaysOpen) {
  writeFourGames();
  void* dialogSeen = nullptr;
  runPass([&](QDialog& dialog) {
    dialogSeen = &dialog;
    clickButton(dialog, playLocalId);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "You have to select a game first");
    EXPECT_EQ(boxes[0].caption, "Information");
    EXPECT_EQ(boxes[0].owner, &dialog);
    // A click on the empty space below the rows chooses nothing either.
    QTreeWidget* list = gameList(dialog);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, list->viewport()->height() - 5));
    EXPECT_TRUE(selectedDriver.empty());
    clickButton(dialog, playLocalId);
    EXPECT_EQ(boxes.size(), 2u);
    EXPECT_TRUE(dialog.isVisible());
    clickButton(dialog, exitId);
  });
  EXPECT_NE(dialogSeen, nullptr);
  EXPECT_EQ(launcherChoice, 1);
  EXPECT_TRUE(selectedDriver.empty());
}

TEST_F(DialogTest, ClickingEmptySpaceKeepsTheEarlierChoice) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Bravo"), 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(20, list->viewport()->height() - 5));
    EXPECT_EQ(selectedDriver, "bravo.drv");
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "bravo.drv");
}

TEST_F(DialogTest, TheKeyboardChoosesTheHighlightedRow) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    list->setFocus();
    clickCell(list, rowNamed(list, "Bravo"), 0);
    QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems()[0]->text(0), "Charlie");
    EXPECT_EQ(selectedDriver, "charlie.drv");
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "charlie.drv");
}

TEST_F(DialogTest, ReturnPressesPlay) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    QTest::keyClick(list, Qt::Key_Return);  // nothing chosen yet
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "You have to select a game first");
    clickCell(list, rowNamed(list, "Delta Run"), zipColumn);
    QTest::keyClick(list, Qt::Key_Return);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "drun.drv");
}

TEST_F(DialogTest, TwoDriversWithOneGameNameEachPlayTheirOwnFile) {
  writeDriver("first.drv", "Same Game", "first", "1990", "System21");
  writeDriver("second.drv", "Same Game", "second", "1991", "System21");
  for (const char* zip : {"first", "second"}) {
    SCOPED_TRACE(zip);
    runPass([&](QDialog& dialog) {
      QTreeWidget* list = gameList(dialog);
      EXPECT_EQ(columnTexts(list, 0), (Texts{"Same Game", "Same Game"}));
      clickCell(list, rowNamed(list, zip, zipColumn), gameNameColumn);
      clickButton(dialog, playLocalId);
    });
    EXPECT_EQ(launcherChoice, 3);
    EXPECT_EQ(selectedDriver, std::string(zip) + ".drv");
  }
}

TEST_F(DialogTest, ARenamedDriverIsListedUnderItsDirectoryValue) {
  writeDriver("renamed.drv", "Renamed Game", "original", "1990", "System21");
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    EXPECT_EQ(columnTexts(list, 1), (Texts{"original"}));
    doubleClickCell(list, rowNamed(list, "Renamed Game"), 0);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "original.drv");
}

TEST_F(DialogTest, NetworkPlayAsksForTheLauncherAgain) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    // Disabled in the template; enabled here to reach its handling.
    auto* network = control<QPushButton>(dialog, playNetworkId);
    network->setEnabled(true);
    clickButton(dialog, playNetworkId);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "You have to select a game first");
    EXPECT_EQ(boxes[0].owner, &dialog);
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Bravo"), 0);
    clickButton(dialog, playNetworkId);
  });
  EXPECT_EQ(launcherChoice, 2);
  EXPECT_EQ(selectedDriver, "bravo.drv");
}

// ---- Leaving ----------------------------------------------------------------

TEST_F(DialogTest, ExitEscapeAndTheCloseBoxLeaveWithChoiceOne) {
  writeFourGames();
  using Leave = void (*)(QDialog&);
  struct Case {
    const char* what;
    Leave leave;
  };
  const Case cases[] = {
      {"Exit button", [](QDialog& dialog) { clickButton(dialog, exitId); }},
      {"Escape", [](QDialog& dialog) { QTest::keyClick(gameList(dialog), Qt::Key_Escape); }},
      {"close box",
       [](QDialog& dialog) {
         // What the window system sends when the close box is clicked.
         QCloseEvent event;
         QApplication::sendEvent(dialog.windowHandle(), &event);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QPointer<QDialog> seen;
    runPass([&](QDialog& dialog) {
      seen = &dialog;
      QTreeWidget* list = gameList(dialog);
      clickCell(list, rowNamed(list, "Charlie"), 0);  // a choice that leaving drops
      control<QCheckBox>(dialog, showFpsId)->click();
      c.leave(dialog);
      EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(launcherChoice, 1);
    EXPECT_TRUE(seen.isNull());
    EXPECT_TRUE(catalogue.empty());
    EXPECT_TRUE(boxes.empty());
  }
}

TEST_F(DialogTest, TheOptionsTickButChangeNothing) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    auto* sound = control<QCheckBox>(dialog, disableSoundId);
    auto* fps = control<QCheckBox>(dialog, showFpsId);
    // On the box itself, at the left of each control.
    const QPoint box(6, sound->height() / 2);
    QTest::mouseClick(sound, Qt::LeftButton, Qt::NoModifier, box);
    QTest::mouseClick(fps, Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_TRUE(sound->isChecked());
    EXPECT_TRUE(fps->isChecked());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(selectedDriver.empty());
    QTest::mouseClick(fps, Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_FALSE(fps->isChecked());
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Bravo"), 0);
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "bravo.drv");
}

TEST_F(DialogTest, AnEmptyDriverDirectoryReportsBeforeTheDialogShows) {
  for (bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "missing directory" : "empty directory");
    boxes.clear();
    if (missing) settings.Drvdir = (root / "absent").string() + "/";
    bool dialogShown = false;
    runPass([&](QDialog& dialog) {
      dialogShown = true;
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].text, "No game drivers found");
      EXPECT_EQ(boxes[0].caption, "Error");
      EXPECT_EQ(boxes[0].owner, nullptr);
      EXPECT_FALSE(boxes[0].launcherVisible);
      EXPECT_EQ(fs::current_path(), savedDirectory);
      EXPECT_EQ(gameList(dialog)->topLevelItemCount(), 0);
      clickButton(dialog, playLocalId);
      EXPECT_EQ(boxes.size(), 2u);
      clickButton(dialog, exitId);
    });
    EXPECT_TRUE(dialogShown);
    EXPECT_EQ(launcherChoice, 1);
    EXPECT_EQ(fs::current_path(), savedDirectory);
  }
}

// ---- Sorting ------------------------------------------------------------------

TEST_F(DialogTest, HeaderClicksAlternateTheDirectionAcrossColumnsAndPasses) {
  writeFourGames();
  // Names: alpha strike, Bravo, Charlie, Delta Run; years 1990, 1989, 1991,
  // 1991; zips astrike, bravo, charlie, drun; types System 21 but CPS1.
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    clickHeader(list, yearColumn);  // ascending, equal years by name
    EXPECT_EQ(columnTexts(list), (Texts{"Bravo", "alpha strike", "Charlie", "Delta Run"}));
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(list->header()->sortIndicatorSection(), yearColumn);
    clickHeader(list, yearColumn);  // descending, ties reversed as well
    EXPECT_EQ(columnTexts(list), (Texts{"Delta Run", "Charlie", "alpha strike", "Bravo"}));
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(list, typeColumn);  // ascending
    EXPECT_EQ(columnTexts(list), (Texts{"Charlie", "alpha strike", "Bravo", "Delta Run"}));
    clickHeader(list, zipColumn);  // descending
    EXPECT_EQ(columnTexts(list), (Texts{"Delta Run", "Charlie", "Bravo", "alpha strike"}));
    clickHeader(list, gameNameColumn);  // ascending
    EXPECT_EQ(columnTexts(list), (Texts{"alpha strike", "Bravo", "Charlie", "Delta Run"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(selectedDriver.empty());  // sorting chooses nothing
    clickButton(dialog, exitId);
  });
  EXPECT_FALSE(sortAscending);  // five clicks
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    // A new pass lists by name again, and the next click goes on alternating.
    EXPECT_EQ(columnTexts(list), (Texts{"alpha strike", "Bravo", "Charlie", "Delta Run"}));
    clickHeader(list, gameNameColumn);
    EXPECT_EQ(columnTexts(list), (Texts{"Delta Run", "Charlie", "Bravo", "alpha strike"}));
    clickHeader(list, yearColumn);
    EXPECT_EQ(columnTexts(list), (Texts{"Bravo", "alpha strike", "Charlie", "Delta Run"}));
    clickButton(dialog, exitId);
  });
  EXPECT_FALSE(sortAscending);
}

TEST_F(DialogTest, SortingKeepsTheChosenGame) {
  writeFourGames();
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Charlie"), 0);  // third row by name
    clickHeader(list, gameNameColumn);              // ascending
    clickHeader(list, gameNameColumn);              // descending: Charlie is second
    EXPECT_EQ(columnTexts(list)[2], "Bravo");
    EXPECT_EQ(selectedDriver, "charlie.drv");
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems()[0]->text(0), "Charlie");  // highlight moved with the row
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(launcherChoice, 3);
  EXPECT_EQ(selectedDriver, "charlie.drv");
}

TEST_F(DialogTest, EachPassRescansAndStartsWithoutAChoice) {
  writeDriver("a.drv", "Alpha", "a", "1990", "System21");
  runPass([](QDialog& dialog) {
    QTreeWidget* list = gameList(dialog);
    clickCell(list, rowNamed(list, "Alpha"), 0);
    clickButton(dialog, playLocalId);
  });
  EXPECT_EQ(selectedDriver, "a.drv");
  writeDriver("b.drv", "Beta", "b", "1991", "System21");  // added while the game ran
  runPass([](QDialog& dialog) {
    EXPECT_TRUE(selectedDriver.empty());
    EXPECT_EQ(launcherChoice, 1);
    EXPECT_EQ(columnTexts(gameList(dialog)), (Texts{"Alpha", "Beta"}));
    clickButton(dialog, playLocalId);
    EXPECT_EQ(boxes.size(), 1u);
    clickButton(dialog, exitId);
  });
  EXPECT_EQ(launcherChoice, 1);
}

// ---- Headless --------------------------------------------------------------

TEST_F(DialogTest, HeadlessThePassScansAndLeavesWithoutADialog) {
  ASSERT_TRUE(isHeadless());  // the tests run with SB_HEADLESS=1
  const int windowsBefore = QApplication::topLevelWidgets().size();
  launcherChoice = 3;
  selectedDriver = "stale.drv";
  runLauncher();  // empty directory
  EXPECT_EQ(launcherChoice, 1);
  EXPECT_TRUE(selectedDriver.empty());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "No game drivers found");
  EXPECT_EQ(fs::current_path(), savedDirectory);

  writeFourGames();
  boxes.clear();
  runLauncher();
  EXPECT_EQ(launcherChoice, 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(catalogue.empty());
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
}

}  // namespace
