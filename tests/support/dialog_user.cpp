#include "tests/support/dialog_user.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <sstream>

// The system's font library keeps its caches for the life of the process.

namespace support {

namespace {

std::string rowText(const QTreeWidgetItem* row) {
  QStringList columns;
  for (int i = 0; i < row->columnCount(); ++i) columns << row->text(i);
  return columns.join('|').toStdString() + "\n";
}

// Where the window is and which texts do not fit their controls.
void noteWindow(const QDialog& dialog, std::string& seen) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QPoint offset = dialog.frameGeometry().center() - screen->availableGeometry().center();
  seen += offset.manhattanLength() <= 3 ? "centred" : "off centre";
  for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
    if (button->sizeHint().width() > button->width())
      seen += ", cut: " + button->text().toStdString();
  seen += "\n";
}

void note(QTreeWidget* list, const std::string& word, int keyColumn, std::string& seen) {
  QHeaderView* header = list->header();
  if (word == "??") seen += rowText(list->headerItem());
  const int section = header->sortIndicatorSection();
  if (word == "?" && section >= 0)
    seen += list->headerItem()->text(section).toStdString() +
            (header->sortIndicatorOrder() == Qt::AscendingOrder ? " up:" : " down:");
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = list->topLevelItem(i);
    if (word == "??") seen += rowText(row);
    if (word == "?")
      seen.append(" ")
          .append(row->text(keyColumn).toStdString())
          .append(row->isSelected() ? "*" : "");
  }
  if (word == "?") seen += "\n";
}

}  // namespace

void ensureQtApplication() {
  static int argc = 1;
  static char name[] = "tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);
}

void actInDialog(QDialog& dialog, const std::string& words, int keyColumn, std::string& seen) {
  const std::map<std::string, Qt::Key> keys = {
      {"Down", Qt::Key_Down}, {"Return", Qt::Key_Return}, {"Escape", Qt::Key_Escape}};
  QTreeWidget* list = dialog.findChild<QTreeWidget*>();
  ASSERT_NE(list, nullptr);
  QHeaderView* header = list->header();
  QWidget* rows = list->viewport();
  const auto x = [header](int n) {
    return header->sectionViewportPosition(n) + header->sectionSize(n) / 2;
  };
  std::istringstream in(words);
  for (std::string word; in >> word;) {
    auto* button =
        dialog.findChild<QPushButton*>(QString::fromStdString(word.substr(word[0] == '+')));
    if (word[0] == '?') {
      if (word == "??") noteWindow(dialog, seen);
      note(list, word, keyColumn, seen);
    } else if (word[0] == '#') {
      QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                        {x(word[1] - '0'), header->height() / 2});
    } else if (keys.count(word)) {
      QTest::keyClick(list, keys.at(word));
    } else if (word == "close") {
      QCloseEvent close;
      QApplication::sendEvent(dialog.windowHandle(), &close);
    } else if (word == "below") {
      QTest::mouseClick(rows, Qt::LeftButton, {}, {20, rows->height() - 5});
    } else if (button != nullptr) {
      if (word[0] == '+')
        button->setEnabled(true);
      else
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
      const size_t at = word.find('@');
      const auto found =
          list->findItems(QString::fromStdString(word.substr(0, at)), Qt::MatchExactly, keyColumn);
      ASSERT_EQ(found.size(), 1) << "no single row " << word;
      const QPoint point(x(at == std::string::npos ? 0 : word.back() - '0'),
                         list->visualItemRect(found[0]).center().y());
      QTest::mouseClick(rows, Qt::LeftButton, {}, point);
      if (word.find("@@") != std::string::npos) QTest::mouseDClick(rows, Qt::LeftButton, {}, point);
    }
  }
}

MessageBoxReader::MessageBoxReader(std::string& seen) : timer(std::make_unique<QTimer>()) {
  QObject::connect(timer.get(), &QTimer::timeout, [&seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->button(QMessageBox::Ok) == nullptr) return;
    const QString owner = box->parentWidget() ? box->parentWidget()->objectName() : "nothing";
    seen += QString("%1: %2 (over %3, %4 buttons)\n")
                .arg(box->windowTitle(), box->text(), owner)
                .arg(box->buttons().size())
                .toStdString();
    box->button(QMessageBox::Ok)->click();
  });
  timer->start(10);
}

MessageBoxReader::~MessageBoxReader() = default;

}  // namespace support
