// Temporary launcher pass: leaves the program at once.
#include "launcher/launcher.h"
#include "app/app.h"
void runLauncher() { launcherChoice = 1; selectedDriver.clear(); }
