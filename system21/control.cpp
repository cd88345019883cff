// Watching a run: the breakpoints and watchpoints that tools set, steps, and
// each processor's share of a frame run so that any of them stops it in the
// middle. A share runs as one or more core calls whose budgets add up to what
// one call would have been given, so the machine's schedule is the one of a
// run that nothing watches.
#include "system21/control.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

struct Probe {
  int id, owner, cpu;  // cpu 0: both processors
  bool watch;
  uint32_t first, last;  // a breakpoint's address is first
  uint8_t kinds;
};

struct ControlState {
  std::vector<Probe> probes;
  int nextId = 1;
  uint64_t version = 1;  // grows when the probes change
  // What the core holds: the probes of one processor at one version, and for
  // each watched range the probe it stands for.
  uint64_t installedVersion = 0;
  int installedCpu = 0;
  std::vector<int> watchProbes;
  // A step under way: it ends when the processor has started stepCount
  // instructions (at the start of its next instruction, after the frame
  // interrupt when its share ends first).
  int stepOwner = 0, stepCpu = 0;
  uint64_t stepCount = 0;
  uint32_t rangeFirst = 0, rangeLast = 0;
  // A point to run to, and whether hits are only noted on the way.
  bool targetSet = false;
  RunPoint target;
  bool recording = false;
  std::vector<StopEvent> noted;
  // The stop the machine stands at: a breakpoint stopped at is gone on from.
  StopEvent lastStop;
  // Watched accesses of the instruction that ran last.
  std::vector<StopEvent> watchHits;
};
ControlState control;

bool covers(const Probe& p, int cpu) {
  return p.cpu == 0 || p.cpu == cpu;
}

void noteWatchHit(int32_t index, uint32_t address, uint32_t, bool write, uint32_t data) {
  const Probe& p = control.probes[size_t(control.watchProbes[size_t(index)])];
  StopEvent hit;
  hit.kind = stopWatchpoint;
  hit.probe = p.id;
  hit.owner = p.owner;
  hit.address = address;
  hit.data = data;
  hit.write = write;
  control.watchHits.push_back(hit);
  cpuReleaseTimeslice();  // the stop comes after this instruction
}

// The core holds the probes of the processor about to run.
void installProbes(int cpu) {
  ControlState& c = control;
  const bool none = c.probes.empty();
  if (c.installedVersion == c.version && (c.installedCpu == cpu || none)) return;
  std::vector<uint32_t> breakpoints;
  std::vector<CpuWatch> watches;
  c.watchProbes.clear();
  for (size_t i = 0; i < c.probes.size(); ++i) {
    const Probe& p = c.probes[i];
    if (!covers(p, cpu)) continue;
    if (!p.watch) {
      breakpoints.push_back(p.first);
      continue;
    }
    watches.push_back({p.first, p.last, p.kinds});
    c.watchProbes.push_back(int(i));
  }
  cpuSetBreakpoints(breakpoints.data(), int32_t(breakpoints.size()));
  cpuSetWatchpoints(watches.data(), int32_t(watches.size()), noteWatchHit);
  c.installedVersion = c.version;
  c.installedCpu = cpu;
}

const Probe* breakpointAt(int cpu, uint32_t address) {
  for (const Probe& p : control.probes) {
    if (!p.watch && covers(p, cpu) && p.first == (address & 0xFFFFFF)) return &p;
  }
  return nullptr;
}

uint64_t limitFor(int cpu, uint64_t count) {
  const ControlState& c = control;
  uint64_t limit = ~uint64_t{0};
  if (c.targetSet && c.target.cpu == cpu)
    limit = c.target.count > count ? c.target.count - count : 0;
  if (c.stepCpu == cpu) limit = std::min<uint64_t>(limit, c.stepCount > count ? c.stepCount - count : 0);
  return limit;
}

uint32_t usedOfShare() {
  return cpuReadCycleCount() - machine.shareStart;
}

// A stop, or a hit noted on the way when the run only records.
bool stopOrNote(StopEvent event, std::vector<StopEvent>& stops) {
  if (control.recording) {
    control.noted.push_back(event);
    return false;
  }
  stops.push_back(event);
  return true;
}

}  // namespace

RunPoint currentPoint() {
  const Machine& m = machine;
  if (m.share == 0) return {m.frameNumber, 0, 0, false};
  const CpuContext& c = contextOf(m.share);
  return {m.frameNumber, m.share, c.instructionCount,
          c.cycleCount - m.shareStart >= uint32_t(cyclesPerFrame)};
}

int addBreakpoint(int owner, int cpu, uint32_t address) {
  ControlState& c = control;
  c.probes.push_back({c.nextId, owner, cpu, false, address & 0xFFFFFF, address & 0xFFFFFF, 0});
  c.version++;
  return c.nextId++;
}

int addWatchpoint(int owner, int cpu, uint32_t first, uint32_t last, uint8_t kinds) {
  ControlState& c = control;
  c.probes.push_back({c.nextId, owner, cpu, true, first & 0xFFFFFF, last & 0xFFFFFF, kinds});
  c.version++;
  return c.nextId++;
}

void removeProbe(int id) {
  std::erase_if(control.probes, [id](const Probe& p) { return p.id == id; });
  control.version++;
}

void removeProbes(int owner) {
  std::erase_if(control.probes, [owner](const Probe& p) { return p.owner == owner; });
  control.version++;
}

void requestStep(int owner, int cpu, uint32_t rangeFirst, uint32_t rangeLast) {
  ControlState& c = control;
  c.stepOwner = owner;
  c.stepCpu = cpu;
  if (cpu != 0) c.stepCount = contextOf(cpu).instructionCount + 1;
  c.rangeFirst = rangeFirst & 0xFFFFFF;
  c.rangeLast = rangeLast & 0xFFFFFF;
}

void setRunTarget(const RunPoint& target, bool recording) {
  control.targetSet = true;
  control.target = target;
  control.recording = recording;
  control.noted.clear();
}

void clearRunTarget() {
  control.targetSet = false;
  control.recording = false;
}

std::vector<StopEvent> takeNotedHits() {
  return std::move(control.noted);
}

void setLastStop(const StopEvent& stop) {
  control.lastStop = stop;
}

bool runShare(int cpu, std::vector<StopEvent>& stops) {
  ControlState& c = control;
  CpuContext& context = contextOf(cpu);
  cpuSetContext(&context);
  installProbes(cpu);
  const size_t stopsBefore = stops.size();
  bool stopped = false;
  while (!stopped && usedOfShare() < uint32_t(cyclesPerFrame)) {
    const StopEvent& last = c.lastStop;
    if (last.kind == stopBreakpoint && last.cpu == cpu && last.address == (cpuReadPc() & 0xFFFFFF))
      cpuPassBreakpoint();
    c.watchHits.clear();
    const uint32_t result = cpuExecInstructions(int32_t(uint32_t(cyclesPerFrame) - usedOfShare()),
                                                limitFor(cpu, cpuReadInstructionCount()));
    c.lastStop = {};
    cpuGetContext(&context);
    const RunPoint point = currentPoint();
    for (StopEvent hit : c.watchHits) {
      hit.cpu = cpu;
      hit.point = point;
      stopped = stopOrNote(hit, stops) || stopped;
    }
    if (result == cpuExecBreakpoint) {
      const Probe* p = breakpointAt(cpu, context.pc);
      StopEvent hit;
      hit.kind = stopBreakpoint;
      hit.cpu = cpu;
      hit.probe = p != nullptr ? p->id : 0;
      hit.owner = p != nullptr ? p->owner : 0;
      hit.address = context.pc & 0xFFFFFF;
      hit.point = point;
      if (stopOrNote(hit, stops))
        stopped = true;
      else
        c.lastStop = hit;  // noted: the run goes on past it
    } else if (result == cpuExecInstructionLimit) {
      const bool inRange = context.pc >= c.rangeFirst && context.pc < c.rangeLast;
      if (c.stepCpu == cpu && inRange) {
        c.stepCount = context.instructionCount + 1;  // a range step goes on
      } else if (c.stepCpu == cpu) {
        StopEvent done;
        done.kind = stopStep;
        done.cpu = cpu;
        done.owner = c.stepOwner;
        done.point = point;
        stops.push_back(done);
        stopped = true;
      } else {
        stopped = true;  // at the target point (a replay sees whether it is)
      }
    } else if (result != cpuExecBudgetUsed) {
      break;  // halted, or no code to fetch: the share ends as it would
    }
  }
  // A point at the very end of this share.
  if (c.targetSet && c.target.shareEnd && c.target == currentPoint()) stopped = true;
  if (stops.size() > stopsBefore) {
    c.stepCpu = 0;
    c.lastStop = stops[stopsBefore];
  }
  return stopped;
}
