// Temporary machine: no game can be loaded yet.
#include "system21/system21.h"
#include "driver/driver.h"
RunOptions runOptions;
int runGame(const char*) { return 0; }
void buildMachine() { loadCodeRegion(RegionKind::collision); }
