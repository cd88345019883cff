// The script module's state and what its files share.
#pragma once

#include <cstdint>
#include <lua.hpp>
#include <string>

// The callbacks a script registers for points of the run.
enum ScriptEvent { eventStart, eventFrame, eventStop, eventCount };

struct ScriptState {
  std::string path;
  lua_State* lua = nullptr;
  int events[eventCount] = {LUA_NOREF, LUA_NOREF, LUA_NOREF};  // registry references
  int probes = LUA_NOREF;      // a table: the script's probe ids to their callbacks
  int64_t lastFrame = 0;       // the frame on_frame was last called for
  bool failed = false;         // a Lua error ended the run
  bool stopRequested = false;  // sb.stop or os.exit
  int status = -1;             // the exit status asked for (-1: none)
  std::string error;           // the error, for the box at the end of the run
};
extern ScriptState script;

// ---- api.cpp
// The table sb in a fresh state, and os.exit turned into sb.stop.
void openScriptLibrary(lua_State* L);
// The value at index is what os.exit raises to end the run without an error.
bool isExitRequest(lua_State* L, int index);
