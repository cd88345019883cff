// Message boxes: a modal Qt box with one OK button, or one line on standard
// error when there is nobody to answer it, so nothing blocks on a server or
// in a test.
#include <QApplication>
#include <QMessageBox>
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

void showMessageBox(const char* text, const char* caption, void* owner) {
  if (text == nullptr) text = "";
  if (caption == nullptr) caption = "";
  if (messageBoxHook != nullptr) {
    messageBoxHook(text, caption, owner);
    return;
  }
  if (isHeadless()) {
    fprintf(stderr, "%s: %s\n", caption, text);
    fflush(stderr);
    return;
  }
  ensureGuiApplication();
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    fprintf(stderr, "%s: %s\n", caption, text);  // no widgets without a QApplication
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromLocal8Bit(caption),
                  QString::fromLocal8Bit(text), QMessageBox::Ok, static_cast<QWidget*>(owner));
  box.setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  box.exec();
}
