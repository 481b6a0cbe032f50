// A small scriptable HTTP server on 127.0.0.1 for tests and benchmarks. It listens
// on a port the system chooses, records every request exactly as the bytes arrived,
// and answers each one with whatever a test scripts: any bytes at all, pauses,
// an orderly close or a reset in the middle, or silence.
//
//   LoopbackServer server([](const ReceivedRequest& r) {
//     if (r.target == "/old") return response(302, "Location: /new\r\n", "");
//     return response(200, "", "hello");
//   });
//   ... fetch server.address("/old") ..., then look at server.requests().
//
// Each connection is served on its own thread; every wait is sliced so that the
// destructor stops everything promptly, whatever state a client left it in.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tessevin::testing {

// One request as the server read it off the wire.
struct ReceivedRequest {
  int connection = 0;     // 1 for the first accepted connection, 2 for the next, ...
  std::string head;       // request line and header lines through the empty line, as received
  std::string body;       // the body with any chunked framing removed
  std::string raw;        // every byte of this request as received (head and framed body)
  std::string method;     // from the request line
  std::string target;     // from the request line, exactly as sent
  bool complete = false;  // false: the client stopped or went quiet before the end

  // The value of the first header line called `name` (any case), trimmed; empty if none.
  [[nodiscard]] std::string header(std::string_view name) const;
};

// What the server does in answer to one request, step by step.
class Reply {
 public:
  enum class Kind { send, pause, close, reset, hang, generate };
  // Writes the bytes of a generated body from `offset` on into `piece`, all of it.
  using Generator = std::function<void(std::size_t offset, std::span<char> piece)>;
  struct Step {
    Kind kind;
    std::shared_ptr<const std::string> bytes;  // for send; shared so that big bodies are not copied
    std::chrono::milliseconds delay{0};        // for pause
    std::size_t size = 0;                      // for generate
    Generator fill = nullptr;                  // for generate
  };

  Reply& send(std::string bytes);
  Reply& send(std::shared_ptr<const std::string> bytes);
  // Sends `size` bytes made by `fill` a piece at a time as they go out, so a body of
  // any size costs the server one piece of memory.
  Reply& send_generated(std::size_t size, Generator fill);
  Reply& pause(std::chrono::milliseconds delay);
  Reply& close();  // orderly close (FIN)
  Reply& reset();  // abortive close: RST, through SO_LINGER with a zero time
  Reply& hang();   // say nothing more until the client goes away or the server stops
  // After the steps, read the next request on the same connection instead of closing.
  Reply& keep_open();

  [[nodiscard]] const std::vector<Step>& steps() const { return steps_; }
  [[nodiscard]] bool keeps_open() const { return keep_open_; }

 private:
  std::vector<Step> steps_;
  bool keep_open_ = false;
};

// "HTTP/1.1 <status> <reason>\r\n" + extra_headers (each line ending in CR LF) +
// "Content-Length: <n>\r\n\r\n" + body, sent in one step, then the connection closes.
[[nodiscard]] Reply response(int status, std::string_view extra_headers, std::string_view body);
// The chunked transfer coding of `chunks` (empty chunks are skipped), with the last chunk.
[[nodiscard]] std::string chunked(const std::vector<std::string>& chunks);

class LoopbackServer {
 public:
  // Called on a server thread for each complete request (or for what came of one
  // before the client stopped or went quiet for `request_idle_ms`).
  using Script = std::function<Reply(const ReceivedRequest&)>;

  explicit LoopbackServer(Script script, int request_idle_ms = 5000);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  [[nodiscard]] int port() const { return port_; }
  // "http://127.0.0.1:<port>" + path
  [[nodiscard]] std::string address(std::string_view path) const;
  // Every request received so far, in the order they were read.
  [[nodiscard]] std::vector<ReceivedRequest> requests() const;
  [[nodiscard]] int connections() const { return connections_.load(); }

 private:
  void accept_loop();
  void serve(int fd, int connection);
  [[nodiscard]] bool read_request(int fd, std::string& pending, ReceivedRequest& request) const;
  [[nodiscard]] bool play(int fd, const Reply& reply) const;
  [[nodiscard]] bool send_all(int fd, std::string_view bytes) const;
  [[nodiscard]] bool wait_readable(int fd, int slice_ms) const;

  Script script_;
  int request_idle_ms_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A port on 127.0.0.1 where nothing listens: bound by the system's choice, then released.
[[nodiscard]] int unused_port();

}  // namespace tessevin::testing
