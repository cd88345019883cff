// The socket side: a loopback listener for each run, one client at a time,
// polled from the frame loop while the game runs and waited on while it is
// halted.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "console/console.h"
#include "debugger/debugger.h"
#include "debugger/internal.h"

namespace {

constexpr int haltedPollMilliseconds = 20;
constexpr size_t receiveChunk = 4096;

void setNonBlocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

int openListener(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 1) != 0) {
    close(fd);
    return -1;
  }
  setNonBlocking(fd);
  return fd;
}

// Breakpoints and watchpoints go with the client; a halted run goes on.
void dropClient() {
  GdbServer& s = server;
  if (s.client >= 0) close(s.client);
  s.client = -1;
  dropPoints();
  requestStep(debuggerOwner, 0);
  s.inputState = GdbServer::idle;
  s.noAck = false;
  s.output.clear();
  if (s.halted) s.resume = resumeContinue;
}

// Sends what is waiting; a client that does not take it is dropped.
void flushOutput() {
  GdbServer& s = server;
  size_t sent = 0;
  while (s.client >= 0 && sent < s.output.size()) {
    const ssize_t n = send(s.client, s.output.data() + sent, s.output.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += size_t(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{s.client, POLLOUT, 0};
      if (poll(&p, 1, 1000) > 0) continue;
    }
    return dropClient();
  }
  s.output.clear();
}

// A second client while one is attached is refused.
void acceptClients() {
  GdbServer& s = server;
  for (;;) {
    const int fd = accept(s.listener, nullptr, nullptr);
    if (fd < 0) return;
    if (s.client >= 0) {
      close(fd);
      continue;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    setNonBlocking(fd);
    s.client = fd;
    // A client that comes while the game runs finds it stopped, and asks why.
    if (!s.halted) s.haltForClient = true;
  }
}

// Takes what the client sent; waits up to timeout for it.
void serveClient(int timeoutMilliseconds) {
  GdbServer& s = server;
  pollfd fds[2] = {{s.listener, POLLIN, 0}, {s.client, POLLIN, 0}};
  if (poll(fds, s.client >= 0 ? 2 : 1, timeoutMilliseconds) <= 0) return;
  if (fds[0].revents & POLLIN) acceptClients();
  if (s.client < 0 || fds[1].fd < 0 || fds[1].revents == 0) return;
  uint8_t buffer[receiveChunk];
  const ssize_t n = recv(s.client, buffer, sizeof buffer, 0);
  if (n <= 0) {
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) dropClient();
    return;
  }
  takeBytes(buffer, size_t(n));
  flushOutput();
}

void startRun() {
  GdbServer& s = server;
  const int port = s.port;
  dropPoints();
  s = GdbServer{};
  s.port = port;
  s.listener = openListener(port);
  if (s.listener < 0) {
    fprintf(stderr, "Cannot listen for GDB on 127.0.0.1:%d; the run goes on without\n", port);
    return;
  }
  // Not in the log: a debugged run logs what the same run without one does.
  fprintf(stderr, "Waiting for GDB on 127.0.0.1:%d\n", port);
  haltWith("T05thread:1;", 1);
}

// The machine stopped at one of the client's breakpoints, watchpoints or
// steps.
void stopHook(const StopEvent& stop) {
  if (stop.owner == debuggerOwner) haltWith(stopReplyFor(stop), stop.cpu);
}

bool frameHook() {
  GdbServer& s = server;
  if (s.listener < 0) return false;
  serveClient(0);
  if (s.interruptRequested || s.haltForClient) haltWith("T02thread:1;", 1);
  return s.endRun;
}

void endRun() {
  GdbServer& s = server;
  dropPoints();
  if (s.client >= 0) {
    sendPacket("W00");
    flushOutput();
    close(s.client);
    s.client = -1;
  }
  if (s.listener >= 0) close(s.listener);
  s.listener = -1;
}

}  // namespace

void haltWith(const std::string& reply, int thread) {
  GdbServer& s = server;
  if (s.listener < 0) return;
  s.halted = true;
  s.registerThread = thread;  // the client takes the stopped thread as selected
  s.interruptRequested = false;
  s.resume = resumeNone;
  s.stopReply = reply;
  if (s.client >= 0 && !s.haltForClient) {
    sendPacket(reply);
    flushOutput();
  }
  // Until the client resumes, the run ends, or a client that never came is
  // given up by a key in the game window.
  while (s.resume == resumeNone && !s.endRun) {
    serveClient(haltedPollMilliseconds);
    if (keyPending()) s.endRun = true;
  }
  s.halted = false;
  s.haltForClient = false;
}

void dropPoints() {
  removeProbes(debuggerOwner);
  server.points.clear();
}

RunHooks gdbRunHooks(int port) {
  server.port = port;
  return RunHooks{startRun, stopHook, frameHook, endRun};
}
