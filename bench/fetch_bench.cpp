// Fetching a 16 MB body from a loopback server: with fetch_page (the web request
// routine over our HTTP layer, 1024-byte reads), and with the layer alone, each
// against one bare libcurl transfer into one growing string. Also prints how far the
// process's peak resident memory grows during one fetch_page, relative to the body.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "platform/inet.h"
#include "ratio.h"
#include "support/loopback_server.h"
#include "web/web_request.h"

namespace {

namespace inet = tessevin::platform::inet;
using tessevin::testing::LoopbackServer;
using tessevin::testing::ReceivedRequest;
using tessevin::testing::Reply;

constexpr std::size_t body_size = 16 * 1024 * 1024;

// One server for the whole run; the reply is built once and shared, not copied.
LoopbackServer& server() {
  static const auto reply = [] {
    std::string bytes =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_size) + "\r\n\r\n";
    bytes.reserve(bytes.size() + body_size);
    for (std::size_t i = 0; i < body_size; ++i) bytes += static_cast<char>('a' + i % 26);
    return std::make_shared<const std::string>(std::move(bytes));
  }();
  static LoopbackServer instance([](const ReceivedRequest&) { return Reply().send(reply); });
  return instance;
}

std::string fetch_with_layer(int port) {
  std::string body;
  inet::Session* session = inet::open_session("bench", inet::access_direct, nullptr, nullptr, 0);
  inet::Connection* connection =
      inet::connect(session, "127.0.0.1", port, nullptr, nullptr, inet::service_http, 0, 0);
  inet::Request* request =
      inet::open_request(connection, "GET", "/big", "HTTP/1.1", nullptr, nullptr, 0x80004010, 0);
  static const char block[] = "Referer: http://127.0.0.1/big\r\nAccept: */*";
  if (inet::send_request(request, block, sizeof block - 1, nullptr, 0)) {
    char buffer[1024];
    int count = 0;
    while (inet::read_file(request, buffer, sizeof buffer, &count) && count != 0) {
      body.append(buffer, static_cast<std::size_t>(count));
    }
  }
  inet::close_handle(request);
  inet::close_handle(connection);
  inet::close_handle(session);
  return body;
}

size_t append_to(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

std::string fetch_with_curl(int port) {
  std::string body;
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return body;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big";
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &append_to);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long status_kb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

std::size_t fetch_with_routine(int port) {
  const tessevin::Text page =
      tessevin::fetch_page(tessevin::Text("http://127.0.0.1:" + std::to_string(port) + "/big"));
  return page.size();
}

// Runs first, while the heap is fresh: resets the peak to the current resident size
// (writing 5 to clear_refs), fetches once, and compares the new peak with the body.
void fetch_16m_peak_memory(benchmark::State& state) {
  const int port = server().port();
  double ratio = -1;
  for (auto _ : state) {
    const long before = status_kb("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::size_t size = fetch_with_routine(port);
    const long peak = status_kb("VmHWM");
    if (size != body_size) state.SkipWithError("short body");
    if (before >= 0 && peak >= 0) ratio = static_cast<double>(peak - before) * 1024 / body_size;
  }
  state.counters["peak_growth_per_body_byte"] = ratio;
  if (ratio >= 0) {
    std::printf("ratio fetch_16m_peak_memory %.2f\n", ratio);
  } else {
    std::printf("ratio fetch_16m_peak_memory n/a (no /proc/self/status)\n");
  }
  std::fflush(stdout);
}
BENCHMARK(fetch_16m_peak_memory)->Iterations(1)->Unit(benchmark::kMillisecond);

void fetch_16m_layer(benchmark::State& state) {
  const int port = server().port();
  for (auto _ : state) {
    const std::string body = fetch_with_layer(port);
    if (body.size() != body_size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body_size));
}
BENCHMARK(fetch_16m_layer)->Unit(benchmark::kMillisecond);

void fetch_16m_page(benchmark::State& state) {
  const int port = server().port();
  for (auto _ : state) {
    if (fetch_with_routine(port) != body_size) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body_size));
}
BENCHMARK(fetch_16m_page)->Unit(benchmark::kMillisecond);

void fetch_16m_curl(benchmark::State& state) {
  const int port = server().port();
  for (auto _ : state) {
    const std::string body = fetch_with_curl(port);
    if (body.size() != body_size) state.SkipWithError("short body");
    benchmark::DoNotOptimize(body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body_size));
}
BENCHMARK(fetch_16m_curl)->Unit(benchmark::kMillisecond);

TESSEVIN_RATIO("fetch_16m", "fetch_16m_page", "fetch_16m_curl");
TESSEVIN_RATIO("fetch_16m_layer", "fetch_16m_layer", "fetch_16m_curl");

}  // namespace
