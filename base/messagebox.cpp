// Message boxes: a modal Qt box with one OK button, or one line on standard
// error when there is nobody to answer it, so nothing blocks on a server or
// in a test.
#include <QAbstractButton>
#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QString>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/base.h"

namespace {

bool headlessRequested = false;
MessageBoxHook messageBoxHook = nullptr;

bool environmentSet(const char* name) {
  const char* value = getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Widgets need a QApplication (made here when there is a display).
bool widgetsAvailable() {
  ensureGuiApplication();
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

void setHeadless(bool headless) {
  headlessRequested = headless;
}

bool isHeadless() {
  if (headlessRequested) return true;
  const char* forced = getenv("SB_HEADLESS");
  if (forced != nullptr && strcmp(forced, "1") == 0) return true;
  return !environmentSet("DISPLAY") && !environmentSet("WAYLAND_DISPLAY");
}

void ensureGuiApplication() {
  if (QApplication::instance() != nullptr || isHeadless()) return;
  // Qt keeps references to argc and argv for the life of the application.
  static int argc = 1;
  static char name[] = "stonebreaker";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

void setMessageBoxHook(MessageBoxHook hook) {
  messageBoxHook = hook;
}

// The layout of the dialogs is in units of the 8-point dialog font, whose
// average character is 6 pixels wide. A wider substitute font is scaled down
// to that width (measured over the alphabet, as the base units are) so that
// every text still fits its control.
void setDialogFont(void* widget) {
  constexpr double baseUnitWidth = 6.0;
  auto* target = static_cast<QWidget*>(widget);
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  QFont font(QStringLiteral("MS Sans Serif"), 8);
  const double averageWidth =
      QFontMetricsF(font).horizontalAdvance(alphabet) / static_cast<double>(alphabet.size());
  if (averageWidth > baseUnitWidth && font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * baseUnitWidth / averageWidth);
  target->setFont(font);
}

void showMessageBox(const char* text, const char* caption, void* owner, const char* informative) {
  if (text == nullptr) text = "";
  if (caption == nullptr) caption = "";
  if (informative == nullptr) informative = "";
  if (messageBoxHook != nullptr) {
    messageBoxHook(text, caption, owner, informative);
    return;
  }
  if (isHeadless() || !widgetsAvailable()) {
    // No one to answer a box.
    if (informative[0] != '\0') {
      fprintf(stderr, "%s: %s (%s)\n", caption, text, informative);
    } else {
      fprintf(stderr, "%s: %s\n", caption, text);
    }
    fflush(stderr);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromLocal8Bit(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Ok, static_cast<QWidget*>(owner));
  box.setInformativeText(QString::fromLocal8Bit(informative));
  setDialogFont(&box);
  // Buttons of the dialog carry no icons; neither does the box's.
  if (QAbstractButton* ok = box.button(QMessageBox::Ok)) ok->setIcon(QIcon());
  box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  if (owner == nullptr) {
    // Centred on the screen, as a box of no window is.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      box.adjustSize();
      box.move(screen->availableGeometry().center() - box.rect().center());
    }
  }
  box.exec();
}
