// Drives a Qt dialog as a user does (QTest events), from a line of words,
// and notes what the user sees. The dialog's list is its first QTreeWidget;
// a row is named by its text in the key column.
//   NAME       click the row's first column; NAME@N its column N;
//              NAME@@N double-click there
//   #N         click column N's header        below  click under the rows
//   Down Return Escape  keys to the list      close  the window's close box
//   OBJECT     press the push button of that object name (+OBJECT enables it)
//   ?          note the sort arrow ("Caption up:" or "down:") and the key
//              column top to bottom, the selected rows marked *, on one line
//   ??         note whether the window is centred on the screen and the
//              button texts cut off, then the header and every row,
//              columns joined by "|"
#pragma once

#include <memory>
#include <string>

class QDialog;
class QTimer;

namespace support {

// Makes the process's QApplication on first use.
void ensureQtApplication();
void actInDialog(QDialog& dialog, const std::string& words, int keyColumn, std::string& seen);

// While one lives, every modal message box that opens is noted in `seen`,
// as "Caption: text (over OWNER, N buttons)" with the owner's object name,
// and closed with its OK button, as a user reads and dismisses it.
struct MessageBoxReader {
  explicit MessageBoxReader(std::string& seen);
  ~MessageBoxReader();
  std::unique_ptr<QTimer> timer;
};

}  // namespace support
