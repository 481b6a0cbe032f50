#include "support/demo_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <string_view>

namespace tessevin::testing {

DemoService::DemoService(const char* executable) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    dup2(fds[1], STDOUT_FILENO);
    execl(executable, executable, "--port", "0", nullptr);
    _exit(127);
  }
  close(fds[1]);
  output_ = fds[0];
  if (pid_ < 0) {
    stop();
    throw std::runtime_error("fork failed");
  }
  const std::string first = first_line();
  constexpr std::string_view prefix = "listening on http://127.0.0.1:";
  const char* digits = first.data() + std::min(prefix.size(), first.size());
  const auto [end, error] = std::from_chars(digits, first.data() + first.size(), port_);
  if (!first.starts_with(prefix) || error != std::errc() || port_ <= 0) {
    stop();
    throw std::runtime_error("unexpected first line from the demo: \"" + first + "\"");
  }
  // The demo logs every request; keep the pipe drained so it never blocks on a write.
  drain_ = std::thread([fd = output_] {
    char buffer[4096];
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
  });
}

DemoService::~DemoService() { stop(); }

std::string DemoService::host() const { return "127.0.0.1:" + std::to_string(port_); }

// Reads up to the first line feed. The wait only guards against a demo that hangs
// without a word; a demo that fails to start closes the pipe at once.
std::string DemoService::first_line() {
  std::string line;
  for (;;) {
    pollfd ready{output_, POLLIN, 0};
    if (poll(&ready, 1, 60'000) <= 0) return line;
    char c = 0;
    if (read(output_, &c, 1) != 1 || c == '\n') return line;
    line.push_back(c);
  }
}

void DemoService::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (drain_.joinable()) drain_.join();  // ends with the demo: its end of the pipe closed
  if (output_ >= 0) close(output_);
  output_ = -1;
}

}  // namespace tessevin::testing
