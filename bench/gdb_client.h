// What the benchmarks that act as a GDB client share: packets framed with
// their checksum, and a connection to the server on the loopback port, made
// as soon as the server listens.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

inline std::string packet(const std::string& data) {
  unsigned sum = 0;
  for (unsigned char c : data) sum += c;
  char tail[4];
  snprintf(tail, sizeof tail, "#%02x", sum & 0xFF);
  return "$" + data + tail;
}

// A socket connected to 127.0.0.1:port, trying for two seconds; -1 if none.
inline int connectToServer(uint16_t port) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}
