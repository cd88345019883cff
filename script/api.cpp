// The table sb: the machine as a script reads and changes it, and the
// callbacks it registers. Arguments are checked strictly (an integer where a
// number is asked for, an address of 24 bits, a value that fits its size),
// and each mistake is a Lua error that says what was wrong.
//
// Lua raises errors by a long jump: a function here raises only where no C++
// object with a destructor is alive.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/base.h"
#include "console/console.h"
#include "script/internal.h"
#include "script/script.h"
#include "system21/system21.h"

namespace {

constexpr lua_Integer addressLimit = 0x1000000;  // 24 address lines
constexpr uint32_t addressMask = 0xFFFFFF;
constexpr lua_Integer largestStatus = 255;
// Its address is what os.exit raises.
const char exitRequest = 0;

// Registers by name, in the machine's numbering.
const char* const registerNames[cpuRegisterCount] = {"d0", "d1", "d2", "d3", "d4",  "d5", "d6",
                                                     "d7", "a0", "a1", "a2", "a3",  "a4", "a5",
                                                     "a6", "a7", "sr", "pc", "usp", "ssp"};

struct WatchKindRow {
  const char* name;
  uint8_t kinds;
};
const WatchKindRow watchKinds[] = {
    {"r", cpuWatchRead}, {"w", cpuWatchWrite}, {"rw", cpuWatchRead | cpuWatchWrite}};

lua_Integer checkInteger(lua_State* L, int arg) {
  int isInteger = 0;
  const lua_Integer value = lua_tointegerx(L, arg, &isInteger);
  if (lua_type(L, arg) != LUA_TNUMBER) luaL_typeerror(L, arg, "integer");
  if (!isInteger) luaL_argerror(L, arg, "number has no integer representation");
  return value;
}

const char* checkString(lua_State* L, int arg, size_t* size = nullptr) {
  if (lua_type(L, arg) != LUA_TSTRING) luaL_typeerror(L, arg, "string");
  return lua_tolstring(L, arg, size);
}

int checkCpu(lua_State* L, int arg) {
  const lua_Integer cpu = checkInteger(L, arg);
  if (cpu != 1 && cpu != 2) luaL_error(L, "bad processor number %I (1 master, 2 slave)", cpu);
  return int(cpu);
}

uint32_t checkAddress(lua_State* L, int arg) {
  const lua_Integer address = checkInteger(L, arg);
  if (address < 0) luaL_error(L, "address %I is negative", address);
  if (address >= addressLimit) {
    char hex[24];
    snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(address));
    luaL_error(L, "address %s is beyond 24 bits", hex);
  }
  return uint32_t(address);
}

// A value of bits bits, given unsigned or signed.
uint32_t checkValue(lua_State* L, int arg, int bits) {
  const lua_Integer value = checkInteger(L, arg);
  const lua_Integer top = lua_Integer{1} << bits;
  if (value < -top / 2 || value >= top)
    luaL_error(L, "value %I does not fit in %d bits", value, bits);
  return uint32_t(value);
}

int checkRegister(lua_State* L, int arg) {
  const char* name = checkString(L, arg);
  for (int number = 0; number < cpuRegisterCount; number++) {
    if (strcmp(name, registerNames[number]) == 0) return number;
  }
  return luaL_error(L, "bad register name '%s' (d0-d7, a0-a7, pc, sr, usp, ssp)", name);
}

// The exit status sb.stop or os.exit gives at arg, if any.
void takeStatus(lua_State* L, int arg) {
  if (lua_isnoneornil(L, arg)) return;
  const lua_Integer status = checkInteger(L, arg);
  if (status < 0 || status > largestStatus)
    luaL_error(L, "exit status %I out of range (0 to 255)", status);
  script.status = int(status);
}

// ---- Memory, as a processor sees it, big-endian --------------------------

template <int size>
int peek(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const uint32_t address = checkAddress(L, 2);
  uint32_t value = 0;
  for (int i = 0; i < size; i++) value = value << 8 | peekByte(cpu, (address + i) & addressMask);
  lua_pushinteger(L, value);
  return 1;
}

template <int size>
int poke(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const uint32_t address = checkAddress(L, 2);
  const uint32_t value = checkValue(L, 3, 8 * size);
  for (int i = 0; i < size; i++)
    pokeByte(cpu, (address + i) & addressMask, uint8_t(value >> (8 * (size - 1 - i))));
  return 0;
}

int readBytes(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const uint32_t address = checkAddress(L, 2);
  const lua_Integer count = checkInteger(L, 3);
  const lua_Integer most = addressLimit - address;
  if (count < 0 || count > most)
    luaL_error(L, "count %I out of range (0 to %I from this address)", count, most);
  luaL_Buffer buffer;
  char* bytes = luaL_buffinitsize(L, &buffer, size_t(count));
  for (lua_Integer i = 0; i < count; i++) bytes[i] = char(peekByte(cpu, address + uint32_t(i)));
  luaL_pushresultsize(&buffer, size_t(count));
  return 1;
}

// ---- Registers, frames, cycles ----------------------------------------------

int reg(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  lua_pushinteger(L, readCpuRegister(cpu, checkRegister(L, 2)));
  return 1;
}

int setReg(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const int number = checkRegister(L, 2);
  writeCpuRegister(cpu, number, checkValue(L, 3, number == registerSr ? 16 : 32));
  return 0;
}

int frame(lua_State* L) {
  lua_pushinteger(L, machine.frameNumber);
  return 1;
}

int cycles(lua_State* L) {
  lua_pushinteger(L, contextOf(checkCpu(L, 1)).cycleCount);
  return 1;
}

// ---- Breakpoints and watches ----------------------------------------------

// The probe's callback (at index fn) is kept under its id.
int keepProbe(lua_State* L, int id, int fn) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, script.probes);
  lua_pushvalue(L, fn);
  lua_rawseti(L, -2, id);
  lua_pushinteger(L, id);
  return 1;
}

int breakpoint(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const uint32_t address = checkAddress(L, 2);
  luaL_checktype(L, 3, LUA_TFUNCTION);
  if (address & 1) luaL_error(L, "breakpoint at an odd address (instructions start at even ones)");
  return keepProbe(L, addBreakpoint(scriptOwner, cpu, address), 3);
}

int watch(lua_State* L) {
  const int cpu = checkCpu(L, 1);
  const uint32_t first = checkAddress(L, 2);
  const uint32_t last = checkAddress(L, 3);
  const char* kind = checkString(L, 4);
  luaL_checktype(L, 5, LUA_TFUNCTION);
  if (last < first) luaL_error(L, "watched range ends before it starts");
  for (const WatchKindRow& row : watchKinds) {
    if (strcmp(kind, row.name) == 0)
      return keepProbe(L, addWatchpoint(scriptOwner, cpu, first, last, row.kinds), 5);
  }
  return luaL_error(L, "bad watch kind '%s' (\"r\", \"w\" or \"rw\")", kind);
}

int forget(lua_State* L) {
  const lua_Integer id = checkInteger(L, 1);
  lua_rawgeti(L, LUA_REGISTRYINDEX, script.probes);
  if (lua_rawgeti(L, -1, id) == LUA_TNIL) luaL_error(L, "no breakpoint or watch with id %I", id);
  removeProbe(int(id));
  lua_pushnil(L);
  lua_rawseti(L, -3, id);
  return 0;
}

// ---- Saved states, the screen, PNG files -------------------------------------

int saveState(lua_State* L) {
  const std::vector<uint8_t> bytes = stateBytes(machine.driverFileName.c_str(), machine.screen);
  lua_pushlstring(L, reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return 1;
}

int loadState(lua_State* L) {
  size_t size = 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(checkString(L, 1, &size));
  bool loaded = false;
  {
    std::string error;
    loaded = applyState({bytes, size}, machine.driverFileName.c_str(), machine.screen, error) != 0;
    if (!loaded) lua_pushstring(L, error.c_str());
  }
  if (!loaded) return luaL_error(L, "saved state refused: %s", lua_tostring(L, -1));
  // The frames from here on are new to on_frame, even those it heard of before.
  script.lastFrame = machine.frameNumber;
  return 0;
}

int screenshot(lua_State* L) {
  const char* path = checkString(L, 1);
  bool written = false;
  {
    std::string reason;
    written = writePng(path, machine.screen, screenWidth, screenHeight, reason) != 0;
    if (!written) lua_pushstring(L, reason.c_str());
  }
  if (!written) return luaL_error(L, "Cannot write %s: %s", path, lua_tostring(L, -1));
  return 0;
}

// The pixel at (x, y) of an image of width x height pixels.
const uint32_t* checkPixel(lua_State* L, const uint32_t* pixels, lua_Integer width,
                           lua_Integer height, const char* what) {
  const lua_Integer x = checkInteger(L, 1), y = checkInteger(L, 2);
  if (x < 0 || y < 0 || x >= width || y >= height)
    luaL_error(L, "pixel (%I, %I) is off the %I x %I %s", x, y, width, height, what);
  return pixels + y * width + x;
}

int pixel(lua_State* L) {
  if (machine.screen == nullptr) luaL_error(L, "no frame on screen");
  lua_pushinteger(L,
                  *checkPixel(L, machine.screen, screenWidth, screenHeight, "screen") & 0xFFFFFF);
  return 1;
}

// An image read by read_png: width, height, then the pixels.
int imagePixel(lua_State* L) {
  const auto* image = static_cast<const uint32_t*>(lua_touserdata(L, lua_upvalueindex(1)));
  lua_pushinteger(L, *checkPixel(L, image + 2, image[0], image[1], "image"));
  return 1;
}

int readPngFile(lua_State* L) {
  const char* path = checkString(L, 1);
  bool read = false;
  {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    std::string reason;
    read = readPng(path, pixels, width, height, reason) != 0;
    if (read) {
      auto* image = static_cast<uint32_t*>(lua_newuserdatauv(L, (pixels.size() + 2) * 4, 0));
      image[0] = uint32_t(width);
      image[1] = uint32_t(height);
      memcpy(image + 2, pixels.data(), pixels.size() * 4);
    } else {
      lua_pushstring(L, reason.c_str());
    }
  }
  if (!read) return luaL_error(L, "Cannot read %s: %s", path, lua_tostring(L, -1));
  const auto* image = static_cast<const uint32_t*>(lua_touserdata(L, -1));
  lua_pushinteger(L, image[0]);
  lua_pushinteger(L, image[1]);
  lua_pushvalue(L, -3);
  lua_pushcclosure(L, imagePixel, 1);
  return 3;
}

// ---- The log, the end of the run, callbacks -------------------------------------

int logText(lua_State* L) {
  logLine("script: %s\n", checkString(L, 1));
  return 0;
}

int stop(lua_State* L) {
  takeStatus(L, 1);
  script.stopRequested = true;
  return 0;
}

// os.exit ends the run as sb.stop does, and at once: the program still
// writes its files and its log.
int exitRun(lua_State* L) {
  if (lua_isboolean(L, 1))
    script.status = lua_toboolean(L, 1) ? 0 : 1;
  else if (lua_isnoneornil(L, 1))
    script.status = 0;
  else
    takeStatus(L, 1);
  script.stopRequested = true;
  lua_pushlightuserdata(L, const_cast<char*>(&exitRequest));
  return lua_error(L);
}

// on_start, on_frame, on_stop: the upvalue names the event; nil forgets it.
int setEvent(lua_State* L) {
  const auto event = static_cast<size_t>(lua_tointeger(L, lua_upvalueindex(1)));
  if (!lua_isnoneornil(L, 1)) luaL_checktype(L, 1, LUA_TFUNCTION);
  lua_settop(L, 1);
  luaL_unref(L, LUA_REGISTRYINDEX, script.events[event]);
  script.events[event] = luaL_ref(L, LUA_REGISTRYINDEX);
  return 0;
}

const luaL_Reg functions[] = {
    {"read8", peek<1>},
    {"read16", peek<2>},
    {"read32", peek<4>},
    {"write8", poke<1>},
    {"write16", poke<2>},
    {"write32", poke<4>},
    {"read_bytes", readBytes},
    {"reg", reg},
    {"set_reg", setReg},
    {"frame", frame},
    {"cycles", cycles},
    {"breakpoint", breakpoint},
    {"watch", watch},
    {"remove", forget},
    {"save_state", saveState},
    {"load_state", loadState},
    {"screenshot", screenshot},
    {"pixel", pixel},
    {"read_png", readPngFile},
    {"log", logText},
    {"stop", stop},
    {nullptr, nullptr},
};

struct EventRow {
  const char* name;
  ScriptEvent event;
};
const EventRow eventRows[] = {
    {"on_start", eventStart}, {"on_frame", eventFrame}, {"on_stop", eventStop}};

}  // namespace

void openScriptLibrary(lua_State* L) {
  luaL_newlib(L, functions);
  for (const EventRow& row : eventRows) {
    lua_pushinteger(L, row.event);
    lua_pushcclosure(L, setEvent, 1);
    lua_setfield(L, -2, row.name);
  }
  lua_setglobal(L, "sb");
  lua_newtable(L);
  script.probes = luaL_ref(L, LUA_REGISTRYINDEX);
  lua_getglobal(L, "os");
  lua_pushcfunction(L, exitRun);
  lua_setfield(L, -2, "exit");
  lua_pop(L, 1);
}

bool isExitRequest(lua_State* L, int index) {
  return lua_touserdata(L, index) == &exitRequest;
}
