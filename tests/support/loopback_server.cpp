#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace tessevin::testing {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int slice_ms = 50;  // no wait is longer than this without looking at stopping_
constexpr std::size_t generated_piece = 64 * 1024;

[[nodiscard]] char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

[[nodiscard]] bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

[[nodiscard]] std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Value of header `name` in a request head (the request line is skipped).
[[nodiscard]] std::string header_in(std::string_view head, std::string_view name) {
  std::size_t pos = head.find("\r\n");
  while (pos != std::string_view::npos) {
    pos += 2;
    const std::size_t end = head.find("\r\n", pos);
    if (end == std::string_view::npos) break;
    const std::string_view line = head.substr(pos, end - pos);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && same_name(line.substr(0, colon), name)) {
      return std::string(trim(line.substr(colon + 1)));
    }
    pos = end;
  }
  return {};
}

// Fills method and target from the request line at the start of `head`.
void read_request_line(std::string_view head, ReceivedRequest& request) {
  const std::string_view line = head.substr(0, head.find("\r\n"));
  const std::size_t first = line.find(' ');
  if (first == std::string_view::npos) return;
  request.method = std::string(line.substr(0, first));
  const std::size_t second = line.find(' ', first + 1);
  request.target = std::string(line.substr(
      first + 1, second == std::string_view::npos ? std::string_view::npos : second - first - 1));
}

// Decodes a chunked body at the start of `in`; false while it is not yet whole.
[[nodiscard]] bool decode_chunked(std::string_view in, std::string& out, std::size_t& used) {
  out.clear();
  std::size_t pos = 0;
  for (;;) {
    const std::size_t eol = in.find("\r\n", pos);
    if (eol == std::string_view::npos) return false;
    const std::string size_text(in.substr(pos, eol - pos));
    char* end = nullptr;
    const unsigned long size = std::strtoul(size_text.c_str(), &end, 16);
    if (end == size_text.c_str()) return false;  // not a size line: wait for the idle time-out
    pos = eol + 2;
    if (size == 0) {
      if (in.substr(pos, 2) == "\r\n") {
        used = pos + 2;
        return true;
      }
      const std::size_t trailers_end = in.find("\r\n\r\n", pos);
      if (trailers_end == std::string_view::npos) return false;
      used = trailers_end + 4;
      return true;
    }
    if (in.size() < pos + size + 2) return false;
    out.append(in.substr(pos, size));
    pos += size + 2;
  }
}

// Takes one whole request off the front of `pending`, if it is all there.
[[nodiscard]] bool take_request(std::string& pending, ReceivedRequest& request) {
  const std::size_t head_end = pending.find("\r\n\r\n");
  if (head_end == std::string::npos) return false;
  const std::string_view head = std::string_view(pending).substr(0, head_end + 4);
  const std::string_view rest = std::string_view(pending).substr(head.size());
  std::size_t body_used = 0;
  std::string body;
  if (header_in(head, "Transfer-Encoding").find("chunked") != std::string::npos) {
    if (!decode_chunked(rest, body, body_used)) return false;
  } else {
    const std::size_t length = std::strtoul(header_in(head, "Content-Length").c_str(), nullptr, 10);
    if (rest.size() < length) return false;
    body = std::string(rest.substr(0, length));
    body_used = length;
  }
  request.head = std::string(head);
  request.body = std::move(body);
  request.raw = pending.substr(0, head.size() + body_used);
  read_request_line(request.head, request);
  request.complete = true;
  pending.erase(0, request.raw.size());
  return true;
}

// Keeps what came of a request that will never be whole.
void take_partial(std::string& pending, ReceivedRequest& request) {
  const std::size_t head_end = pending.find("\r\n\r\n");
  const std::size_t head_size = head_end == std::string::npos ? pending.size() : head_end + 4;
  request.head = pending.substr(0, head_size);
  request.body = pending.substr(head_size);
  request.raw = std::move(pending);
  pending.clear();
  read_request_line(request.head, request);
  request.complete = false;
}

[[nodiscard]] const char* reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 307:
      return "Temporary Redirect";
    case 308:
      return "Permanent Redirect";
    case 404:
      return "Not Found";
    default:
      return "Status";
  }
}

}  // namespace

std::string ReceivedRequest::header(std::string_view name) const { return header_in(head, name); }

Reply& Reply::send(std::string bytes) {
  return send(std::make_shared<const std::string>(std::move(bytes)));
}
Reply& Reply::send(std::shared_ptr<const std::string> bytes) {
  steps_.push_back({Kind::send, std::move(bytes), {}});
  return *this;
}
Reply& Reply::send_generated(std::size_t size, Generator fill) {
  steps_.push_back({Kind::generate, nullptr, {}, size, std::move(fill)});
  return *this;
}
Reply& Reply::pause(std::chrono::milliseconds delay) {
  steps_.push_back({Kind::pause, nullptr, delay});
  return *this;
}
Reply& Reply::close() {
  steps_.push_back({Kind::close, nullptr, {}});
  return *this;
}
Reply& Reply::reset() {
  steps_.push_back({Kind::reset, nullptr, {}});
  return *this;
}
Reply& Reply::hang() {
  steps_.push_back({Kind::hang, nullptr, {}});
  return *this;
}
Reply& Reply::keep_open() {
  keep_open_ = true;
  return *this;
}

Reply response(int status, std::string_view extra_headers, std::string_view body) {
  std::string bytes = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
  bytes += extra_headers;
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  bytes += body;
  return Reply().send(std::move(bytes));
}

std::string chunked(const std::vector<std::string>& chunks) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const std::string& chunk : chunks) {
    if (chunk.empty()) continue;
    std::string size;
    for (std::size_t n = chunk.size(); n != 0; n /= 16) size.insert(size.begin(), digits[n % 16]);
    out += size + "\r\n" + chunk + "\r\n";
  }
  return out + "0\r\n\r\n";
}

LoopbackServer::LoopbackServer(Script script, int request_idle_ms)
    : script_(std::move(script)), request_idle_ms_(request_idle_ms) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("loopback server: socket");
  const int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(listener_);
    throw std::runtime_error("loopback server: bind");
  }
  port_ = ntohs(addr.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();  // only the acceptor adds to workers_
  ::close(listener_);
}

std::string LoopbackServer::address(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<ReceivedRequest> LoopbackServer::requests() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void LoopbackServer::accept_loop() {
  while (!stopping_) {
    if (!wait_readable(listener_, slice_ms)) continue;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    const int connection = ++connections_;
    workers_.emplace_back([this, fd, connection] { serve(fd, connection); });
  }
}

void LoopbackServer::serve(int fd, int connection) {
  std::string pending;
  for (;;) {
    ReceivedRequest request;
    request.connection = connection;
    if (!read_request(fd, pending, request)) break;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    const Reply reply = script_(request);
    if (!play(fd, reply)) return;  // the reply closed the socket itself
    if (!reply.keeps_open() || !request.complete) break;
  }
  ::close(fd);
}

bool LoopbackServer::read_request(int fd, std::string& pending, ReceivedRequest& request) const {
  auto last_byte = Clock::now();
  char buffer[16384];
  for (;;) {
    if (take_request(pending, request)) return true;
    if (stopping_) return false;
    bool ended = false;
    if (wait_readable(fd, slice_ms)) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        pending.append(buffer, static_cast<std::size_t>(n));
        last_byte = Clock::now();
        continue;
      }
      ended = n == 0 || (errno != EINTR && errno != EAGAIN);
    }
    const bool quiet =
        !pending.empty() && Clock::now() - last_byte > std::chrono::milliseconds(request_idle_ms_);
    if (ended || quiet) {
      if (pending.empty()) return false;
      take_partial(pending, request);
      return true;
    }
  }
}

// Plays the reply's steps; false when the socket was closed (by a step, or because
// the client went away and there is nothing more to do).
bool LoopbackServer::play(int fd, const Reply& reply) const {
  for (const Reply::Step& step : reply.steps()) {
    switch (step.kind) {
      case Reply::Kind::send:
        if (!send_all(fd, *step.bytes)) {
          ::close(fd);
          return false;
        }
        break;
      case Reply::Kind::generate: {
        std::string piece;
        for (std::size_t offset = 0; offset < step.size; offset += piece.size()) {
          piece.resize(std::min(generated_piece, step.size - offset));
          step.fill(offset, std::span<char>(piece));
          if (!send_all(fd, piece)) {
            ::close(fd);
            return false;
          }
        }
        break;
      }
      case Reply::Kind::pause: {
        const auto until = Clock::now() + step.delay;
        while (!stopping_ && Clock::now() < until) {
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        break;
      }
      case Reply::Kind::close:
        ::close(fd);
        return false;
      case Reply::Kind::reset: {
        const linger abort_on_close{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
        ::close(fd);
        return false;
      }
      case Reply::Kind::hang: {
        char sink[4096];
        while (!stopping_) {
          if (!wait_readable(fd, slice_ms)) continue;
          if (::recv(fd, sink, sizeof sink, 0) <= 0) break;  // the client went away
        }
        ::close(fd);
        return false;
      }
    }
  }
  return true;
}

bool LoopbackServer::send_all(int fd, std::string_view bytes) const {
  while (!bytes.empty()) {
    if (stopping_) return false;
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, slice_ms);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool LoopbackServer::wait_readable(int fd, int timeout_ms) const {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

int unused_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("unused_port: socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("unused_port: bind");
  }
  ::close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace tessevin::testing
