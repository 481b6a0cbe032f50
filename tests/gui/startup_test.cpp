// Start-up, skin deployment and shutdown, seen from outside: the real program runs as
// a child process on the offscreen platform, with its own data folder (so its own
// drive C), its boxes written to standard error and its event loop ended by the test
// seams of app/startup.h. Where a test needs to see the engine's calls, the program
// file is copied into a folder of its own next to a recording stand-in engine named
// jedata.dll, which the program binds in preference to the one it writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine.h"
#include "app/qt_text.h"
#include "platform/files.h"
#include "support/file_helpers.h"
#include "support/gbk.h"

extern char** environ;

namespace tessevin {
namespace {

namespace fs = std::filesystem;
using testing::gbk;

using testing::holds_bytes;
using testing::read_all;
using testing::write_plain;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return lines;
}

struct Finished {
  std::vector<std::string> lines;  // the protocol lines still unread when it ended
  int status = -1;                 // exit status, or 1000 + signal number
  std::string all_stderr;          // everything it wrote, for failure messages
};

// The program, running. Only its protocol lines ("box|...", "window|...") are
// returned; Qt's own warnings on standard error are kept for failure messages only.
class Program {
 public:
  Program(const fs::path& program, const std::vector<std::string>& settings) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      bool overridden = entry.starts_with("TESSEVIN_TEST_");
      for (const std::string& s : settings) {
        overridden = overridden || entry.starts_with(s.substr(0, s.find('=') + 1));
      }
      if (!overridden) env.push_back(entry);
    }
    env.insert(env.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string path = program.string();
    char* argv[] = {const_cast<char*>(path.c_str()), nullptr};

    int input[2];
    int errors[2];
    if (pipe2(input, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe2 failed");
    }
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      dup2(input[0], STDIN_FILENO);
      dup2(errors[1], STDERR_FILENO);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      execve(path.c_str(), argv, envp.data());
      _exit(127);
    }
    close(input[0]);
    close(errors[1]);
    input_ = input[1];
    errors_ = errors[0];
    if (pid_ < 0) throw std::runtime_error("fork failed");
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) close(input_);
    if (errors_ >= 0) close(errors_);
  }

  // The next protocol line; nothing once the program has closed standard error.
  std::optional<std::string> next_line() {
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line.starts_with("box|") || line.starts_with("window|")) return line;
        continue;
      }
      char buffer[4096];
      const ssize_t n = read(errors_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return std::nullopt;
      pending_.append(buffer, static_cast<std::size_t>(n));
      all_stderr_.append(buffer, static_cast<std::size_t>(n));
    }
  }

  // Ends standard input, reads what is left and waits for the program to end.
  Finished finish() {
    close(input_);
    input_ = -1;
    Finished finished;
    while (std::optional<std::string> line = next_line()) finished.lines.push_back(*line);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    finished.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    finished.all_stderr = all_stderr_;
    return finished;
  }

  [[nodiscard]] const std::string& all_stderr() const { return all_stderr_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int errors_ = -1;
  std::string pending_;
  std::string all_stderr_;
};

// A box line as the program writes it for TESSEVIN_TEST_BOXES=stderr.
std::string fatal_box_naming(const char* function) {
  return std::string(
             "box|错误|运行时出错!\\n\\n错误信息：无法找到指定DLL库文件“jedata.dll”中的输出命令“") +
         function + "”\\n";
}

class StartupTest : public ::testing::Test {
 protected:
  StartupTest() : root_(make_root()) { fs::create_directories(root_ / "data"); }
  ~StartupTest() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  [[nodiscard]] const fs::path& root() const { return root_; }
  [[nodiscard]] fs::path windows_folder() const { return root_ / "data/tessevin/drive_c/Windows"; }
  [[nodiscard]] fs::path engine_log() const { return root_ / "engine.log"; }

  // quit: "1" ends the program right after the window is shown, "stdin" when the test
  // finishes it.
  [[nodiscard]] std::vector<std::string> settings(const char* quit) const {
    return {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + (root_ / "data").string(),
            "TESSEVIN_TEST_BOXES=stderr", std::string("TESSEVIN_TEST_QUIT_AFTER_SHOW=") + quit,
            "TESSEVIN_TEST_ENGINE_LOG=" + engine_log().string()};
  }

  Finished run(const fs::path& program = TESSEVIN_PROGRAM) {
    return Program(program, settings("1")).finish();
  }

  // A copy of the program in a folder of its own, with `engine` beside it as jedata.dll.
  [[nodiscard]] fs::path program_beside(const char* engine) const {
    const fs::path folder = root_ / "program";
    fs::create_directories(folder);
    fs::copy_file(TESSEVIN_PROGRAM, folder / "tessevin");
    fs::copy_file(engine, folder / "jedata.dll");
    return folder / "tessevin";
  }

  void expect_carried_files_in_place() const {
    EXPECT_TRUE(holds_bytes(windows_folder() / "jedata.dll", app::skin_engine_bytes().view()));
    EXPECT_TRUE(holds_bytes(windows_folder() / "win8.she", app::skin_file_bytes().view()));
  }

 private:
  static fs::path make_root() {
    std::string pattern = (fs::temp_directory_path() / "tessevin-startup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }

  fs::path root_;
};

TEST(FatalErrorText, LinesForCodeAndMessage) {
  static const struct {
    const char* message;
    int code;
    const char* expected;
  } cases[] = {
      {"", 0, "运行时出错!\r\n\r\n"},
      {"载入启动窗口失败", 0, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"},
      {"", -7, "运行时出错!\r\n\r\n错误代码：-7\r\n\r\n"},
      {"x", 5, "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：x\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(app::fatal_error_text(Text(gbk(c.message)), c.code).view(), gbk(c.expected))
        << c.message << " " << c.code;
  }
}

TEST(CarriedFiles, AreAnEngineLibraryAndASkin) {
  EXPECT_TRUE(
      app::skin_engine_bytes().view().starts_with("\x7f"
                                                  "ELF"));
  EXPECT_TRUE(app::skin_file_bytes().view().starts_with(".SHE"));
}

TEST_F(StartupTest, EveryStartWritesBothFilesAndAClosedWindowEndsWithStatusZero) {
  // What may lie in the Windows folder before a start; the start replaces it each time.
  const std::string engine = std::string(app::skin_engine_bytes().view());
  const std::string skin = std::string(app::skin_file_bytes().view());
  static const struct {
    const char* what;
    bool present;
    std::size_t keep;  // bytes of the carried file left in place
    std::string tail;  // more bytes after them
  } cases[] = {
      {"nothing there", false, 0, ""},
      {"identical copies", true, std::string::npos, ""},
      {"truncated copies", true, 100, ""},
      {"longer files", true, std::string::npos, std::string(5000, 'z')},
  };
  const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(windows_folder());
    if (c.present) {
      write_plain(windows_folder() / "jedata.dll", engine.substr(0, c.keep) + c.tail);
      write_plain(windows_folder() / "win8.she", skin.substr(0, c.keep) + c.tail);
      fs::last_write_time(windows_folder() / "jedata.dll", long_ago);
      fs::last_write_time(windows_folder() / "win8.she", long_ago);
    }
    const Finished finished = run();
    EXPECT_EQ(finished.status, 0) << finished.all_stderr;
    EXPECT_EQ(finished.lines, std::vector<std::string>{"window|shown"}) << finished.all_stderr;
    expect_carried_files_in_place();
    EXPECT_NE(fs::last_write_time(windows_folder() / "jedata.dll"), long_ago);
    EXPECT_NE(fs::last_write_time(windows_folder() / "win8.she"), long_ago);
  }
}

TEST_F(StartupTest, EngineInTheProgramFolderIsBoundAndCalledInOrder) {
  const Finished finished = run(program_beside(TESSEVIN_TEST_ENGINE));
  ASSERT_EQ(finished.status, 0) << finished.all_stderr;
  EXPECT_EQ(finished.lines, std::vector<std::string>{"window|shown"}) << finished.all_stderr;
  // The skin is attached with the local path of the skin file before any window
  // exists; the adjustment comes once, with every control built and the window hidden.
  const std::vector<std::string> expected = {
      "SkinH_AttachEx|" + (windows_folder() / "win8.she").string() + "||windows=0",
      "SkinH_AdjustAero|210,0,0,3,0,0,0,0,0|main_window=hidden|controls=15",
  };
  EXPECT_EQ(lines_of(read_all(engine_log())), expected);
  // The carried engine is written all the same.
  expect_carried_files_in_place();
}

TEST_F(StartupTest, NoEngineAnywhereEndsInTheFatalBoxBeforeAnyWindow) {
  // A folder where the library should go: the write fails and nothing can be bound.
  fs::create_directories(windows_folder() / "jedata.dll");
  const Finished finished = run();
  EXPECT_EQ(finished.status, 255) << finished.all_stderr;
  EXPECT_EQ(finished.lines, std::vector<std::string>{fatal_box_naming("SkinH_AttachEx")})
      << finished.all_stderr;
  EXPECT_TRUE(holds_bytes(windows_folder() / "win8.she", app::skin_file_bytes().view()));
}

TEST_F(StartupTest, EngineWithoutAdjustAeroEndsInTheFatalBoxBeforeTheWindowIsShown) {
  const Finished finished = run(program_beside(TESSEVIN_TEST_ENGINE_NO_AERO));
  EXPECT_EQ(finished.status, 255) << finished.all_stderr;
  EXPECT_EQ(finished.lines, std::vector<std::string>{fatal_box_naming("SkinH_AdjustAero")})
      << finished.all_stderr;
  const std::vector<std::string> log = lines_of(read_all(engine_log()));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(log[0].starts_with("SkinH_AttachEx|")) << log[0];
}

TEST_F(StartupTest, SecondCopyLeavesTheFirstOneRunning) {
  Program first(TESSEVIN_PROGRAM, settings("stdin"));
  ASSERT_EQ(first.next_line(), "window|shown") << first.all_stderr();
  const fs::path library = windows_folder() / "jedata.dll";
  struct stat before {};
  ASSERT_EQ(stat(library.c_str(), &before), 0);

  // The running copy holds its library: no one may empty it.
  EXPECT_EQ(platform::files::create_exclusive(library.string()), platform::files::invalid_file);

  // The second copy cannot rewrite the library, and starts with the one on disk.
  const Finished second = run();
  EXPECT_EQ(second.status, 0) << second.all_stderr;
  EXPECT_EQ(second.lines, std::vector<std::string>{"window|shown"}) << second.all_stderr;
  struct stat after {};
  ASSERT_EQ(stat(library.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  expect_carried_files_in_place();

  const Finished first_end = first.finish();
  EXPECT_EQ(first_end.status, 0) << first_end.all_stderr;
  EXPECT_TRUE(first_end.lines.empty()) << first_end.all_stderr;
  expect_carried_files_in_place();
}

TEST_F(StartupTest, CutShortOrCorruptLibraryIsRewrittenAndTheProgramStarts) {
  const std::string engine(app::skin_engine_bytes().view());
  std::string garbage(engine.size(), '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) {
    garbage[i] = static_cast<char>((i * 131 + i / 977) % 256);
  }
  // What a write cut short, or a damaged disk, may leave where the library goes.
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"cut short after 1000 bytes", engine.substr(0, 1000)},
      {"garbage of the same size", garbage},
      {"a library's header over garbage", engine.substr(0, 64) + garbage.substr(64)},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(windows_folder());
    write_plain(windows_folder() / "jedata.dll", c.bytes);
    write_plain(windows_folder() / "win8.she", std::string(app::skin_file_bytes().view()));
    const Finished finished = run();
    EXPECT_EQ(finished.status, 0) << finished.all_stderr;
    EXPECT_EQ(finished.lines, std::vector<std::string>{"window|shown"}) << finished.all_stderr;
    expect_carried_files_in_place();
  }
}

TEST_F(StartupTest, TwoCopiesStartedAtOnceBothStart) {
  // One copy may find the library while the other is writing it: it waits for that
  // write to end and binds what was written, so both start normally.
  const std::vector<std::string> started = {"window|shown"};
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const fs::path data = root() / ("round-" + std::to_string(round));
    fs::create_directories(data);
    const std::vector<std::string> settings = {
        "QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data.string(), "TESSEVIN_TEST_BOXES=stderr",
        "TESSEVIN_TEST_QUIT_AFTER_SHOW=1"};
    Program first(TESSEVIN_PROGRAM, settings);
    Program second(TESSEVIN_PROGRAM, settings);
    for (const Finished& end : {first.finish(), second.finish()}) {
      EXPECT_EQ(end.status, 0) << end.all_stderr;  // 1000 + n: ended by signal n
      EXPECT_EQ(end.lines, started) << end.all_stderr;
    }
    // Whichever copy wrote them, both files are whole.
    const fs::path windows = data / "tessevin/drive_c/Windows";
    EXPECT_TRUE(holds_bytes(windows / "jedata.dll", app::skin_engine_bytes().view()));
    EXPECT_TRUE(holds_bytes(windows / "win8.she", app::skin_file_bytes().view()));
  }
}

}  // namespace
}  // namespace tessevin
