// The built demo statistics service (tools/stats-demo), run as a child process on a
// port the system picks, for tests that want the real service end to end.
//
//   DemoService demo(TESSEVIN_STATS_DEMO_PATH);
//   ... talk to 127.0.0.1:demo.port() ...
//
// The destructor stops it (SIGTERM, then waitpid), whatever the test did before; a
// crashed test run takes it down too.
#pragma once

#include <sys/types.h>

#include <string>
#include <thread>

namespace tessevin::testing {

class DemoService {
 public:
  // Starts `executable --port 0` and reads the port from its first line
  // "listening on http://127.0.0.1:PORT". Throws std::runtime_error when it does not
  // start.
  explicit DemoService(const char* executable);
  DemoService(const DemoService&) = delete;
  DemoService& operator=(const DemoService&) = delete;
  ~DemoService();

  [[nodiscard]] int port() const { return port_; }
  // "127.0.0.1:<port>", the form the program's statistics host takes.
  [[nodiscard]] std::string host() const;

 private:
  [[nodiscard]] std::string first_line();
  void stop();

  pid_t pid_ = -1;
  int output_ = -1;
  int port_ = 0;
  std::thread drain_;
};

}  // namespace tessevin::testing
