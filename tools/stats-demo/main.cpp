// tessevin-stats-demo: a stand-in for the statistics web service on 127.0.0.1, so
// the program can be tried and tested without the real service. It serves
// /playerDetail.php for the players in roster.h and the "no data" page for anyone
// else; every other path is a 404.
#include <httplib.h>

#include <charconv>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "pages.h"

#ifndef TESSEVIN_DEMO_PORT
#error "TESSEVIN_DEMO_PORT must be defined by the build"
#endif

namespace {

constexpr int default_port = TESSEVIN_DEMO_PORT;
constexpr const char* html_type = "text/html; charset=utf-8";
constexpr const char* listen_host = "127.0.0.1";

void print_usage(std::FILE* to) {
  std::fprintf(to,
               "usage: tessevin-stats-demo [--port N]\n"
               "Serves demo player pages at http://%s:PORT/playerDetail.php\n"
               "  --port N   port to listen on (default %d; 0 picks a free one)\n"
               "  --help     show this text\n",
               listen_host, default_port);
}

[[nodiscard]] std::optional<int> parse_port(std::string_view text) {
  int port = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    return std::nullopt;
  }
  return port;
}

// Request text goes to the log on one line: control bytes become '?', a very long
// target is cut, and a missing one (a request we could not read) shows as "-".
[[nodiscard]] std::string loggable(std::string_view text) {
  constexpr std::size_t most = 300;
  if (text.empty()) return "-";
  std::string out;
  for (const char c : text.substr(0, most)) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
  }
  if (text.size() > most) out.append("...");
  return out;
}

// Requests are served on several threads; one lock keeps log lines whole.
void log_request(const httplib::Request& request, const httplib::Response& response) {
  static std::mutex lock;
  const std::string entry = loggable(request.method) + " " + loggable(request.target) + " " +
                            std::to_string(response.status) + " " +
                            std::to_string(response.body.size()) + "\n";
  const std::lock_guard<std::mutex> hold(lock);
  std::fputs(entry.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int port = default_port;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      print_usage(stdout);
      return 0;
    }
    if (arg == "--port") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "tessevin-stats-demo: --port needs a number\n");
        return 2;
      }
      const std::optional<int> parsed = parse_port(argv[++i]);
      if (!parsed) {
        std::fprintf(stderr, "tessevin-stats-demo: not a port number: %s\n", argv[i]);
        return 2;
      }
      port = *parsed;
      continue;
    }
    std::fprintf(stderr, "tessevin-stats-demo: unknown argument: %s\n", argv[i]);
    print_usage(stderr);
    return 2;
  }

  // A reader of our log that goes away must not take the service down with it.
  std::signal(SIGPIPE, SIG_IGN);

  httplib::Server server;
  server.Get(R"(/playerDetail\.php)", [](const httplib::Request& request,
                                         httplib::Response& response) {
    response.set_content(
        tessevin::demo::player_detail_page(tessevin::demo::read_lookup(request.target)), html_type);
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    response.set_content(tessevin::demo::error_page(response.status), html_type);
  });
  server.set_logger(log_request);

  if (port == 0) {
    port = server.bind_to_any_port(listen_host);
    if (port < 0) {
      std::fprintf(stderr, "tessevin-stats-demo: cannot listen on %s\n", listen_host);
      return 1;
    }
  } else if (!server.bind_to_port(listen_host, port)) {
    std::fprintf(stderr, "tessevin-stats-demo: cannot listen on %s:%d (in use?)\n", listen_host,
                 port);
    return 1;
  }
  // Scripts and tests read the port from this first line.
  std::printf("listening on http://%s:%d\n", listen_host, port);
  std::fflush(stdout);
  return server.listen_after_bind() ? 0 : 1;
}
