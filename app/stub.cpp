// Placeholder until the shell has sources.
#include "app/app.h"
int32_t launcherChoice = 1;
std::string selectedDriver;
