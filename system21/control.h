// Inside the machine: how the frame loop and the history run shares under
// watch.
#pragma once

#include <vector>

#include "system21/system21.h"

// Runs processor cpu (its context loaded from the machine and put back) on
// through its share of the frame. False: the share is over. True: it stopped
// in the middle, at a stop for the tools (added to stops) or at the run's
// target point.
bool runShare(int cpu, std::vector<StopEvent>& stops);

// Replays run to a point; recording, they note the breakpoint and watchpoint
// hits on the way instead of stopping at them.
void setRunTarget(const RunPoint& target, bool recording);
void clearRunTarget();
std::vector<StopEvent> takeNotedHits();
// The stop the machine stands at, as if it had stopped there on its way.
void setLastStop(const StopEvent& stop);

// Before the machine runs on: a snapshot for the history when one is due.
void historyBeforeRunning();
