// The program as a whole: start-up time and peak memory against a minimal Qt 6
// program that shows an empty window of the same size, and one lookup against the
// demo statistics service against a bare libcurl fetch of the same address.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "query/query.h"
#include "ratio.h"
#include "support/demo_service.h"

extern char** environ;

namespace {

using namespace tessevin;

// --- start-up -----------------------------------------------------------------------

// Peak resident size (kB) of each program's runs, for the memory comparison.
std::vector<long> program_rss, minimal_rss;

std::vector<std::string> child_environment() {
  static const std::string data_home =
      (std::filesystem::temp_directory_path() / "tessevin-bench-data").string();
  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data_home,
                                  "XDG_RUNTIME_DIR=" + data_home, "TESSEVIN_TEST_QUIT_AFTER_SHOW=1"};
  for (char** at = environ; *at != nullptr; ++at) {
    const std::string entry = *at;
    if (entry.rfind("QT_", 0) != 0 && entry.rfind("XDG_", 0) != 0) env.push_back(entry);
  }
  std::filesystem::create_directories(data_home);
  return env;
}

// Runs `path` to its end; answers its peak resident size in kB, or -1.
long run_to_end(const char* path) {
  static const std::vector<std::string> env_strings = child_environment();
  std::vector<char*> env;
  for (const std::string& entry : env_strings) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);
  char* argv[] = {const_cast<char*>(path), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, path, &actions, nullptr, argv, env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return -1;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return -1;
  }
  return usage.ru_maxrss;
}

void start(benchmark::State& state, const char* path, std::vector<long>* rss) {
  for (auto _ : state) {
    const long peak = run_to_end(path);
    if (peak < 0) {
      state.SkipWithError("the program did not start and quit cleanly");
      return;
    }
    rss->push_back(peak);
  }
}

void startup_program(benchmark::State& state) { start(state, TESSEVIN_PROGRAM, &program_rss); }
void startup_minimal(benchmark::State& state) { start(state, TESSEVIN_MINIMAL_WINDOW, &minimal_rss); }
BENCHMARK(startup_program)->Iterations(15)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(startup_minimal)->Iterations(15)->UseRealTime()->Unit(benchmark::kMillisecond);
TESSEVIN_RATIO("startup", "startup_program", "startup_minimal");

long median(std::vector<long> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Printed after both start-up benchmarks have run.
void startup_rss(benchmark::State& state) {
  for (auto _ : state) {
  }
  const long program = median(program_rss);
  const long minimal = median(minimal_rss);
  if (program > 0 && minimal > 0) {
    std::printf("ratio startup_rss %.2f\n", static_cast<double>(program) / minimal);
  } else {
    std::printf("ratio startup_rss n/a (start-up not measured)\n");
  }
  std::fflush(stdout);
}
BENCHMARK(startup_rss)->Iterations(1);

// --- one lookup ---------------------------------------------------------------------

testing::DemoService& demo() {
  static testing::DemoService service(TESSEVIN_STATS_DEMO);
  return service;
}

// A window that always asks for 艾欧尼亚 and a player the demo service knows.
class BenchWindow : public QueryWindow {
 public:
  int selected_position() override { return 1; }
  Text name_text() override { return Text("Faker Jr"); }
  void set_caption(ResultLabel, const Text& caption) override { shown += caption.size(); }
  void show_message(const Text&) override { ++messages; }
  std::size_t shown = 0;
  int messages = 0;
};

void query_loopback(benchmark::State& state) {
  const Text host(demo().host());
  BenchWindow window;
  for (auto _ : state) run_query(window, host);
  if (window.shown == 0 || window.messages != 0) state.SkipWithError("no figures came back");
}
BENCHMARK(query_loopback)->UseRealTime()->Unit(benchmark::kMicrosecond);

std::size_t append_to(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void curl_loopback(benchmark::State& state) {
  const Text address = player_page_address(Text(demo().host()), Text("\xB5\xE7\xD0\xC5\xD2\xBB"),
                                           Text("Faker Jr"));
  for (auto _ : state) {
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, address.str().c_str());
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &append_to);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (body.empty()) state.SkipWithError("empty body");
    benchmark::DoNotOptimize(body.data());
  }
}
BENCHMARK(curl_loopback)->UseRealTime()->Unit(benchmark::kMicrosecond);
TESSEVIN_RATIO("query_loopback", "query_loopback", "curl_loopback");

}  // namespace
