// The launcher: the catalogue of driver files and the dialog in which a game
// is chosen.
#pragma once

// One launcher pass: scans the driver directory, shows the dialog and runs
// its loop until it closes, leaving launcherChoice and selectedDriver set.
void runLauncher();
