// The launcher dialog (template 101 is launcher.ui): a four-column game list
// sortable by any column and three buttons, run by its own loop until a
// button, a double click, Escape or the close box ends it.
#include <QApplication>
#include <QCheckBox>
#include <QCollator>
#include <QDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/base.h"
#include "launcher/launcher.h"
#include "ui_launcher.h"

bool sortAscending = true;

namespace {

// What the launcher keeps from pass to pass, for the life of the process.
struct Remembered {
  int sortColumn = -1;     // the column sorted last, -1 before any sort
  std::string lastPlayed;  // the driver file played last
  bool showFps = false;    // the "Show FPS" box
};
Remembered remembered;

constexpr const char* soundToolTip = "The board's sound is not emulated.";

// The list's columns, inserted in this order, all left-aligned.
struct ListColumn {
  const char* caption;
  int width;  // pixels
};
constexpr ListColumn listColumns[] = {
    {"Game name", 170},
    {"Zip", 80},
    {"Year", 50},
    {"Type", 100},
};

// Item data of each row: the index of its GameRow in gameRows.
constexpr int rowRole = Qt::UserRole;

// The rows of the current pass, whether its loop should go on, and what the
// user chose.
struct DialogState {
  std::vector<GameRow> gameRows;
  bool running = false;
  LauncherResult outcome;
};
DialogState state;

QString toQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Locale-aware and case-insensitive, as list sorting is on the desktop.
int compareTexts(const std::string& a, const std::string& b) {
  static QCollator collator = [] {
    QCollator c;
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  const int r = collator.compare(toQString(a), toQString(b));
  return (r > 0) - (r < 0);
}

const GameRow& rowOf(const QTreeWidgetItem* item) {
  return state.gameRows[item->data(0, rowRole).toULongLong()];
}

// The selection is the chosen row's own driver file, not the first entry
// that shares its game name.
void selectRow(const QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const int entry = rowOf(item).entry;
  if (entry < 0 || entry >= static_cast<int>(catalogue.size())) return;
  state.outcome.driverFileName = catalogue[entry].driverFileName;
}

int compareRows(const GameRow& a, const GameRow& b, int column, bool ascending) {
  if (column < 0 || column >= static_cast<int>(a.columns.size())) column = gameNameColumn;
  int r = compareTexts(a.columns[column], b.columns[column]);
  if (r == 0) r = compareTexts(a.columns[gameNameColumn], b.columns[gameNameColumn]);
  return ascending ? r : -r;
}

// Rows keep their selection state across the sort, and the chosen driver
// is untouched by it.
void sortRows(QTreeWidget* list, int column, bool ascending) {
  const QSignalBlocker blocker(list);
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  QTreeWidgetItem* current = list->currentItem();
  std::vector<QTreeWidgetItem*> items;
  while (list->topLevelItemCount() > 0) items.push_back(list->takeTopLevelItem(0));
  std::stable_sort(items.begin(), items.end(),
                   [column, ascending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
                     return compareRows(rowOf(a), rowOf(b), column, ascending) < 0;
                   });
  list->insertTopLevelItems(0, QList<QTreeWidgetItem*>(items.begin(), items.end()));
  if (current != nullptr) list->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
  for (QTreeWidgetItem* item : selected) item->setSelected(true);
  list->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// A header click sorts by its column in the direction due, which then flips.
void sortByClick(QTreeWidget* list, int column) {
  sortRows(list, column, sortAscending);
  remembered.sortColumn = column;
  sortAscending = !sortAscending;
}

// A new pass shows the rows as the last sort left them, and selects the game
// played last (else the first row), so that what looks selected is what
// "Play" plays.
void restoreView(QTreeWidget* list) {
  if (remembered.sortColumn >= 0) sortRows(list, remembered.sortColumn, !sortAscending);
  QTreeWidgetItem* chosen = list->topLevelItemCount() > 0 ? list->topLevelItem(0) : nullptr;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const int entry = rowOf(list->topLevelItem(i)).entry;
    if (entry >= 0 && entry < static_cast<int>(catalogue.size()) &&
        catalogue[entry].driverFileName == remembered.lastPlayed) {
      chosen = list->topLevelItem(i);
      break;
    }
  }
  if (chosen == nullptr) return;
  list->setCurrentItem(chosen);
  chosen->setSelected(true);
  selectRow(chosen);
}

void play(QDialog* dialog, LauncherChoice choice) {
  state.outcome.choice = choice;
  if (choice == playGame) remembered.lastPlayed = state.outcome.driverFileName;
  dialog->close();
}

void requestPlay(QDialog* dialog, LauncherChoice choice) {
  if (state.outcome.driverFileName.empty()) {
    showMessageBox("You have to select a game first", "Information", dialog);
    return;
  }
  play(dialog, choice);
}

void insertColumns(QTreeWidget* list) {
  QStringList captions;
  for (const ListColumn& column : listColumns) captions << QString::fromLatin1(column.caption);
  list->setColumnCount(static_cast<int>(captions.size()));
  list->setHeaderLabels(captions);
  QHeaderView* header = list->header();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setSectionsClickable(true);
  header->setSectionsMovable(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(true);  // the last column reaches the list's edge
  header->setSortIndicatorShown(true);
  header->setSortIndicator(-1, Qt::AscendingOrder);  // no arrow before the first sort
  for (int i = 0; i < static_cast<int>(std::size(listColumns)); ++i)
    header->resizeSection(i, listColumns[i].width);
}

void connectDialog(QDialog* dialog, const Ui::LauncherDialog& ui) {
  QTreeWidget* list = ui.gameList;
  // Every way of closing (the buttons, Escape, the close box) ends in
  // finished(); the loop then stops.
  QObject::connect(dialog, &QDialog::finished, [] { state.running = false; });
  QObject::connect(ui.playLocalButton, &QPushButton::clicked,
                   [dialog] { requestPlay(dialog, playGame); });
  QObject::connect(ui.playNetworkButton, &QPushButton::clicked,
                   [dialog] { requestPlay(dialog, launcherAgain); });
  QObject::connect(ui.exitButton, &QPushButton::clicked, [dialog] {
    state.outcome.choice = leaveProgram;
    dialog->close();
  });
  QObject::connect(list->header(), &QHeaderView::sectionClicked,
                   [list](int column) { sortByClick(list, column); });
  QObject::connect(list, &QTreeWidget::itemClicked, [](QTreeWidgetItem* item) { selectRow(item); });
  // Moving the highlight with the keyboard chooses that row too, so the game
  // played is always the one shown selected.
  QObject::connect(list, &QTreeWidget::itemSelectionChanged, [list] {
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    if (selected.size() == 1) selectRow(selected.front());
  });
  QObject::connect(list, &QTreeWidget::itemDoubleClicked, [dialog](QTreeWidgetItem* item) {
    selectRow(item);
    if (state.outcome.driverFileName.empty()) return;
    play(dialog, playGame);
  });
  // Keyboard moves choose the row they land on.
  QObject::connect(list, &QTreeWidget::currentItemChanged,
                   [](QTreeWidgetItem* item) { selectRow(item); });
  // Show FPS is passed to the game; sound is not emulated, so its box stays
  // disabled, unticked.
  ui.showFpsCheck->setChecked(remembered.showFps);
  QObject::connect(ui.showFpsCheck, &QCheckBox::toggled, [](bool on) {
    remembered.showFps = on;
    state.outcome.showFps = on;
  });
  ui.disableSoundCheck->setEnabled(false);
  ui.disableSoundCheck->setToolTip(QString::fromLatin1(soundToolTip));
}

void centreOnScreen(QDialog* dialog) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  dialog->move(area.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
}

}  // namespace

void clearGameRows(QTreeWidget* list) {
  if (list != nullptr) list->clear();
  state.gameRows.clear();
}

void addGameRow(QTreeWidget* list, const std::string& type, const std::string& date,
                const std::string& gameName, const std::string& directory, int entry) {
  if (list == nullptr) return;
  state.gameRows.push_back(GameRow{{gameName, directory, date, type}, entry});
  // A driver without a game name shows its file's name, greyed.
  const bool nameless =
      gameName.empty() && entry >= 0 && entry < static_cast<int>(catalogue.size());
  auto* item = new QTreeWidgetItem(
      QStringList{toQString(nameless ? catalogue[entry].driverFileName : gameName),
                  toQString(directory), toQString(date), toQString(type)});
  if (nameless) item->setForeground(gameNameColumn, QBrush(Qt::gray));
  item->setData(0, rowRole, QVariant::fromValue<qulonglong>(state.gameRows.size() - 1));
  // After the rows whose names sort before or equal to it: ascending, and
  // equal names stay in scan order.
  int at = list->topLevelItemCount();
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    if (compareTexts(gameName, rowOf(list->topLevelItem(i)).columns[gameNameColumn]) < 0) {
      at = i;
      break;
    }
  }
  list->insertTopLevelItem(at, item);
}

int compareGameRows(const GameRow& a, const GameRow& b, int column) {
  return compareRows(a, b, column, sortAscending);
}

LauncherResult runLauncherDialog(const LauncherScript& script) {
  state.outcome = LauncherResult{};
  state.outcome.showFps = remembered.showFps;
  state.running = true;

  auto dialog = std::make_unique<QDialog>(
      nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
  Ui::LauncherDialog ui;
  ui.setupUi(dialog.get());
  dialog->setFixedSize(dialog->size());
  setDialogFont(dialog.get());
  insertColumns(ui.gameList);
  connectDialog(dialog.get(), ui);
  scanDrivers(ui.gameList);
  restoreView(ui.gameList);

  centreOnScreen(dialog.get());
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
  if (script) QTimer::singleShot(0, dialog.get(), [&script, &dialog] { script(*dialog); });

  // The dialog's own loop: no nested exec, so nothing else runs in between.
  while (state.running && !QCoreApplication::closingDown())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

  dialog.reset();  // destroyed before the pass ends
  clearGameRows(nullptr);
  clearCatalogue();
  return state.outcome;
}

LauncherResult runLauncher() {
  if (!isHeadless()) ensureGuiApplication();
  if (isHeadless() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    // No one to show the dialog to: scan as usual, then leave.
    scanDrivers(nullptr);
    clearCatalogue();
    return LauncherResult{};
  }
  return runLauncherDialog(nullptr);
}
