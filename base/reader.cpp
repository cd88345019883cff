// The token reader shared by every text file of the program: driver files,
// and the configuration file.
//
// One current stream (the DriverFile) is shared by the whole program; its
// users take turns: the configuration load, the catalogue scan and the game
// load. Opening another file replaces the current one.
//
// Lexical form:
// - Tokens are runs of non-white-space characters (white space: space, tab,
//   CR, LF, VT, FF), read like the "%s" conversion of formatted input: the
//   white space after a token stays unread.
// - Quoted value: a token beginning with a double quote. The one character
//   after the token (the separating white space) is dropped, then spaces
//   (0x20 only) are skipped, and the text runs up to the next double quote,
//   which is consumed. Whatever was glued to the opening quote is dropped,
//   and the value then runs on to the next quote, often the next line's: a
//   line in the log names the file and the text, once for each time the
//   file is opened.
// - Comment: a bare token "#" opens one and the next bare token "#" closes
//   it; quoted values inside a comment are skipped as one token, so a "#"
//   inside quotes neither opens nor closes a comment.
//
// Choices of this reader where the format itself sets no rule:
// - Tokens and quoted texts of any length are read whole; there is no fixed
//   buffer, so nothing is cut or overrun.
// - A quoted value whose closing quote never comes ends at the end of the
//   file.
// - At the end of the file (after an absent key, a comment left open, or a
//   section that is the last thing in the file) readToken and readValue
//   return "", which callers treat as absent.
// - A quoted value is always a value: only bare "#" tokens delimit comments
//   and only bare tokens are taken for keys. So a directory named "#" or
//   "Frameskip" survives a save and a load of the configuration file.
#include <cstdio>
#include <set>
#include <string>

#include "base/base.h"

namespace {

// The current stream and whether the last readToken was a quoted value.
struct ReaderState {
  FILE* driverFile = nullptr;
  std::string path;
  bool lastTokenQuoted = false;
  std::string glued;            // what the last readToken found glued to an opening quote
  std::set<long> gluedNotedAt;  // where the stream's glued quotes were noted
};
ReaderState state;

bool isWhiteSpace(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The rest of a quoted value, after its opening token has been read.
std::string readQuotedText() {
  std::string text;
  int c = getc(state.driverFile);  // the separating white space, dropped
  if (c == EOF) return text;
  do c = getc(state.driverFile);
  while (c == ' ');
  while (c != EOF && c != '"') {
    text.push_back(static_cast<char>(c));
    c = getc(state.driverFile);
  }
  return text;
}

// The log line about a quote with text glued to it, once per place in the
// file; "" when there is nothing to say.
std::string gluedNote() {
  if (state.glued.empty() || !state.gluedNotedAt.insert(ftell(state.driverFile)).second) return {};
  return state.path + ": the text " + state.glued +
         " glued to an opening quote is dropped and the value runs to the next quote;"
         " write a space after the opening quote";
}

bool isBareHash(const std::string& token) {
  return !state.lastTokenQuoted && token == "#";
}

}  // namespace

bool sameTextIgnoringCase(const std::string& text, const char* other) {
  if (other == nullptr) return false;
  auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; };
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if (other[i] == '\0' || lower(text[i]) != lower(other[i])) return false;
  }
  return other[i] == '\0';
}

int openDriverFile(const char* path) {
  closeDriverFile();
  if (path == nullptr) return 0;
  state.driverFile = openRegularFile(path, false);
  state.path = path;
  return state.driverFile != nullptr ? 1 : 0;
}

void closeDriverFile() {
  if (state.driverFile != nullptr) fclose(state.driverFile);
  state.driverFile = nullptr;
  state.lastTokenQuoted = false;
  state.glued.clear();
  state.gluedNotedAt.clear();
}

// A read error (a directory opened as a file, say) ends the stream as well.
bool driverFileAtEnd() {
  return state.driverFile == nullptr || feof(state.driverFile) != 0 ||
         ferror(state.driverFile) != 0;
}

std::string readToken() {
  state.lastTokenQuoted = false;
  state.glued.clear();
  std::string token;
  if (state.driverFile == nullptr) return token;
  int c;
  do c = getc(state.driverFile);
  while (isWhiteSpace(c));
  while (c != EOF && !isWhiteSpace(c)) {
    token.push_back(static_cast<char>(c));
    c = getc(state.driverFile);
  }
  // The delimiting white space stays unread, as "%s" leaves it.
  if (c != EOF) ungetc(c, state.driverFile);
  if (!token.empty() && token[0] == '"') {
    state.lastTokenQuoted = true;
    state.glued = token.substr(1);
    return readQuotedText();
  }
  return token;
}

namespace {

// The next value, and in note the log line written about it ("" none).
std::string readNotedValue(std::string* note) {
  std::string token = readToken();
  while (isBareHash(token)) {
    do token = readToken();
    while (!isBareHash(token) && !driverFileAtEnd());
    if (!isBareHash(token)) return std::string();  // comment left open at the end
    token = readToken();
  }
  const std::string line = gluedNote();
  if (!line.empty()) logLine("%s\n", line.c_str());
  if (note != nullptr) *note = line;
  return token;
}

}  // namespace

std::string readValue() {
  return readNotedValue(nullptr);
}

void findNextKey(const char* key) {
  while (!driverFileAtEnd()) {
    std::string value = readValue();
    if (!state.lastTokenQuoted && sameTextIgnoringCase(value, key)) return;
  }
}

std::vector<StreamValue> readAllValues() {
  std::vector<StreamValue> values;
  if (state.driverFile == nullptr) return values;
  rewind(state.driverFile);
  state.lastTokenQuoted = false;
  while (!driverFileAtEnd()) {
    std::string note;
    std::string text = readNotedValue(&note);
    values.push_back({std::move(text), state.lastTokenQuoted, driverFileAtEnd(), std::move(note)});
  }
  return values;
}

void findKey(const char* key) {
  if (state.driverFile == nullptr) return;
  rewind(state.driverFile);
  state.lastTokenQuoted = false;
  findNextKey(key);
}
