// Driver description files: the token reader shared by every text file of
// the program, and the loading of a game's ROM set into its region buffers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---- Token reader -------------------------------------------------------
// One current text stream for the whole program; users take turns. Tokens
// and quoted values of any length; "# ... #" comments; keys compared without
// regard to case, and a quoted value is never taken for a key. At the end
// of the stream (or after a read error) every read gives "".
int openDriverFile(const char* path);  // 1 opened as the current stream, 0 not
void closeDriverFile();
bool driverFileAtEnd();
std::string readToken();
std::string readValue();            // next token outside comments; "" at end of file
void findKey(const char* key);      // from the start of the stream
void findNextKey(const char* key);  // from the current position
// Keys, keywords and command words are compared with ASCII case folding.
bool sameTextIgnoringCase(const std::string& text, const char* other);

// ---- ROM-set loading ----------------------------------------------------
// Region buffers of the loaded game. 68000 images hold 16-bit words in host
// order: the 68000 byte at offset A is at buffer offset A ^ 1.
extern std::string gameName;
extern uint32_t graphicsImageSize;
extern uint8_t* graphicsImage;
extern uint8_t* graphicsData;
extern uint32_t graphicsBlockCount;
extern std::vector<uint8_t> masterCodeRom;
extern std::vector<uint8_t> slaveCodeRom;
extern std::vector<uint8_t> collisionRom;

enum class RegionKind { master, slave, collision };

int loadGame(const char* driverFileName);  // 1 loaded, 0 not
int resetGameGraphics();
int releaseGameGraphics();
int loadGraphicsRegion();
int loadCodeRegion(RegionKind kind);
void decodeGraphics();

// Provided by the machine: builds both processors' maps and loads the
// collision region from the still-open driver file.
void buildMachine();
