// A script's life over one game run: a fresh Lua state when the run starts,
// its callbacks called from the run's hooks, and its end. An error or
// sb.stop ends the run at the next point the machine can stop at.
#include <cstdio>
#include <string>

#include "base/base.h"
#include "script/internal.h"
#include "script/script.h"
#include "system21/system21.h"

ScriptState script;

namespace {

bool active() {
  const ScriptState& s = script;
  return s.lua != nullptr && !s.failed && !s.stopRequested;
}

// A Lua error ends the run: the message as Lua gives it goes to standard
// error and the log at once, and into a box at the end of the run when
// there is a window.
void fail(const char* message) {
  ScriptState& s = script;
  if (s.failed) return;
  s.failed = true;
  s.status = 1;
  s.error = message;
  fprintf(stderr, "%s\n", message);
  logLine("script: %s\n", message);
}

// Calls the function under nargs arguments on the stack; false when it
// raised an error (or asked to end the run through os.exit).
bool call(int nargs) {
  lua_State* L = script.lua;
  const bool done = lua_pcall(L, nargs, 0, 0) == LUA_OK;
  if (!done && !isExitRequest(L, -1)) {
    const char* message = lua_tostring(L, -1);
    fail(message != nullptr
             ? message
             : ("(error object is a " + std::string(luaL_typename(L, -1)) + " value)").c_str());
  }
  lua_settop(L, 0);
  return done;
}

// Pushes the callback of an event; false, with nothing pushed, when there
// is none.
bool pushEvent(ScriptEvent event) {
  lua_State* L = script.lua;
  if (lua_rawgeti(L, LUA_REGISTRYINDEX, script.events[event]) == LUA_TFUNCTION) return true;
  lua_pop(L, 1);
  return false;
}

void closeState() {
  ScriptState& s = script;
  removeProbes(scriptOwner);
  if (s.lua != nullptr) lua_close(s.lua);
  s.lua = nullptr;
}

// Both processors reset or the state loaded: the script runs once.
void startRun() {
  closeState();
  const std::string path = script.path;
  script = ScriptState{};
  ScriptState& s = script;
  s.path = path;
  s.lastFrame = machine.frameNumber;
  s.lua = luaL_newstate();
  if (s.lua == nullptr) return fail("not enough memory for Lua");
  luaL_openlibs(s.lua);
  openScriptLibrary(s.lua);
  if (luaL_loadfilex(s.lua, path.c_str(), "t") != LUA_OK) {
    fail(lua_tostring(s.lua, -1));
    lua_settop(s.lua, 0);
    return;
  }
  if (call(0) && pushEvent(eventStart)) call(0);
}

// Before each frame, and after stops: on_frame hears of each frame once.
bool frameHook() {
  ScriptState& s = script;
  const int64_t frame = machine.frameNumber;
  const bool newFrame = frame > s.lastFrame;
  s.lastFrame = frame;  // also back, when the debugger took the run back in time
  if (newFrame && active() && pushEvent(eventFrame)) {
    lua_pushinteger(s.lua, frame);
    call(1);
  }
  return s.failed || s.stopRequested;
}

void stopHook(const StopEvent& stop) {
  ScriptState& s = script;
  if (stop.owner != scriptOwner || !active()) return;
  lua_State* L = s.lua;
  lua_rawgeti(L, LUA_REGISTRYINDEX, s.probes);
  // A callback of the same stop may have removed it.
  if (lua_rawgeti(L, -1, stop.probe) != LUA_TFUNCTION) return (void)lua_settop(L, 0);
  lua_remove(L, -2);
  if (stop.kind != stopWatchpoint) return (void)call(0);
  lua_pushinteger(L, stop.address);
  lua_pushinteger(L, stop.data);
  lua_pushstring(L, stop.write ? "w" : "r");
  call(3);
}

void endRun() {
  ScriptState& s = script;
  if (s.lua == nullptr) return;
  frameHook();  // the last frame, when --frames ended the run before the hooks heard of it
  if (!s.failed && pushEvent(eventStop)) call(0);
  closeState();
  if (s.failed && !isHeadless()) showMessageBox(s.error.c_str(), "Script error", nullptr);
}

}  // namespace

RunHooks scriptRunHooks(const std::string& path) {
  script.path = path;
  return RunHooks{startRun, stopHook, frameHook, endRun};
}

int takeScriptStatus() {
  const int status = script.status;
  script.status = -1;
  return status;
}
