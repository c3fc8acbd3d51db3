#pragma once
// A small HTTP server on the loopback address for tests of code that
// downloads: each connection gets the response stored for the request's
// path, or the fallback response for any other path.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <thread>
#include <utility>

class LoopbackServer {
 public:
  static constexpr const char* kNotFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

  using Routes = std::map<std::string, std::string>;  // path -> response

  // Serves `fallback` to every connection.
  explicit LoopbackServer(std::string fallback) : LoopbackServer(Routes{}, std::move(fallback)) {}

  explicit LoopbackServer(Routes responses, std::string fallback = kNotFound)
      : responses_(std::move(responses)), fallback_(std::move(fallback)) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    ::listen(fd_, 4);
    thread_ = std::thread([this] { serve(); });
  }
  ~LoopbackServer() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::string root() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::string url(const std::string& path) const { return root() + path; }

 private:
  void serve() {
    for (;;) {
      const int client = ::accept(fd_, nullptr, nullptr);
      if (client < 0) return;
      char buffer[4096];
      const auto got = ::recv(client, buffer, sizeof buffer, 0);
      const std::string request(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
      const std::string& response = responseFor(request);
      (void)::send(client, response.data(), response.size(), MSG_NOSIGNAL);
      ::close(client);
    }
  }
  // The request line is "GET <path> HTTP/1.1".
  const std::string& responseFor(const std::string& request) const {
    const auto from = request.find(' ');
    if (from == std::string::npos) return fallback_;
    const auto to = request.find(' ', from + 1);
    const auto it = responses_.find(request.substr(from + 1, to == std::string::npos ? std::string::npos : to - from - 1));
    return it != responses_.end() ? it->second : fallback_;
  }

  Routes responses_;
  std::string fallback_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};
