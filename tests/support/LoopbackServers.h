#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/TempFolder.h"

extern char** environ;

// An HTTP and an FTP server on free ports of 127.0.0.1, both serving one fresh
// folder, for the length of one test (tests/support/loopback_servers.py tells
// what they answer beyond the folder's files). Proxy variables are cleared in
// this process, so every transfer of the test goes straight to them. The servers
// stop when this object goes, on every path; should the test process die, they
// see their input close and stop too, and in any case they live no longer than
// `lifetimeSeconds`.
class TLoopbackServers {
public:
  static constexpr const char* kFtpUser = "shoal";
  static constexpr const char* kFtpPassword = "secret";  // anonymous users may only read

  explicit TLoopbackServers(int lifetimeSeconds = 120) : root_("loopback") {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy", "FTP_PROXY",
                             "all_proxy", "ALL_PROXY"})
      unsetenv(name);
    setenv("no_proxy", "*", 1);
    setenv("NO_PROXY", "*", 1);
    Start(lifetimeSeconds);
  }
  ~TLoopbackServers() { Stop(); }
  TLoopbackServers(const TLoopbackServers&) = delete;
  TLoopbackServers& operator=(const TLoopbackServers&) = delete;

  // The folder both servers serve; its "/" is the FTP root and login folder.
  const std::filesystem::path& Root() const { return root_.Dir(); }
  int HttpPort() const { return httpPort_; }
  int FtpPort() const { return ftpPort_; }
  // "127.0.0.1:<port>", the host part of an address.
  std::string HttpHost() const { return "127.0.0.1:" + std::to_string(httpPort_); }
  std::string FtpHost() const { return "127.0.0.1:" + std::to_string(ftpPort_); }

private:
  static std::string ScriptPath() {
    return (std::filesystem::path(__FILE__).parent_path() / "loopback_servers.py").string();
  }

  void Start(int lifetimeSeconds) {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0) throw std::runtime_error("loopback servers: no pipe");
    if (pipe2(output, O_CLOEXEC) != 0) {
      close(input[0]);
      close(input[1]);
      throw std::runtime_error("loopback servers: no pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    // The system's interpreter, which finds the system's pyftpdlib.
    const std::string python = "/usr/bin/python3", script = ScriptPath(), root = Root().string(),
                      lifetime = std::to_string(lifetimeSeconds);
    const char* argv[] = {python.c_str(), script.c_str(), "--root", root.c_str(), "--lifetime", lifetime.c_str(),
                          nullptr};
    const int spawned = posix_spawn(&pid_, python.c_str(), &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    close(output[1]);
    toServers_ = input[1];
    fromServers_ = output[0];
    if (spawned != 0) {
      pid_ = -1;
      Stop();
      throw std::runtime_error("loopback servers: cannot start " + python);
    }
    const std::string line = ReadLine(std::chrono::seconds(20));
    if (std::sscanf(line.c_str(), "READY %d %d", &httpPort_, &ftpPort_) != 2) {
      Stop();
      throw std::runtime_error("loopback servers did not start: '" + line + "'");
    }
  }

  std::string ReadLine(std::chrono::milliseconds limit) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (line.empty() || line.back() != '\n') {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fromServers_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char c;
      if (read(fromServers_, &c, 1) != 1) break;
      line += c;
    }
    return line;
  }

  void Stop() noexcept {
    if (toServers_ >= 0) close(toServers_);  // the servers stop when their input closes
    if (fromServers_ >= 0) close(fromServers_);
    toServers_ = fromServers_ = -1;
    if (pid_ <= 0) return;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  TTempFolder root_;
  pid_t pid_ = -1;
  int toServers_ = -1;
  int fromServers_ = -1;
  int httpPort_ = 0;
  int ftpPort_ = 0;
};

// A listener on a free port of 127.0.0.1 that answers nobody and only tells
// whether someone knocked: the address to give a reader that must never go out.
// Its port closes with the object.
class TQuietListener {
public:
  TQuietListener() {
    fSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fSocket < 0 || bind(fSocket, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(fSocket, 4) != 0 || getsockname(fSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      if (fSocket >= 0) close(fSocket);
      throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    fPort = ntohs(address.sin_port);
  }
  ~TQuietListener() { close(fSocket); }
  TQuietListener(const TQuietListener&) = delete;
  TQuietListener& operator=(const TQuietListener&) = delete;

  int Port() const { return fPort; }
  // "127.0.0.1:<port>", the host part of an address.
  std::string Host() const { return "127.0.0.1:" + std::to_string(fPort); }
  bool SomeoneConnected() const {
    pollfd ready{fSocket, POLLIN, 0};
    return poll(&ready, 1, 200) > 0;
  }

private:
  int fSocket = -1;
  int fPort = 0;
};
