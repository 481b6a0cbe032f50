// The files and library layers, and the start-up write_file on top of them, on a real
// temporary folder: drive paths, the exclusive write and its failure answers, where a
// library is found, and the lock that keeps a loaded library from being rewritten.
//
// The stand-in engines (tests/support/recording_engine.cpp) are the libraries loaded
// here; this program's run path names their build folder, so the system's search
// finds them by bare name too.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "app/engine.h"
#include "platform/files.h"
#include "platform/library.h"
#include "support/file_helpers.h"

namespace tessevin {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;
namespace files = platform::files;
namespace library = platform::library;

using testing::holds_bytes;
using testing::read_all;
using testing::write_plain;

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    set(value);
  }
  ~ScopedEnv() { set(old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  void set(const char* value) {
    if (value != nullptr) {
      setenv(name_, value, 1);
    } else {
      unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

// Each test gets a fresh data folder, so drive C starts empty.
class FilesLibraryTest : public ::testing::Test {
 protected:
  FilesLibraryTest() : root_(make_root()), data_env_("XDG_DATA_HOME", (root_ / "data").c_str()) {}
  ~FilesLibraryTest() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  [[nodiscard]] const fs::path& root() const { return root_; }
  [[nodiscard]] fs::path drive_c() const { return root_ / "data/tessevin/drive_c"; }

 private:
  static fs::path make_root() {
    std::string pattern = (fs::temp_directory_path() / "tessevin-files-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }

  fs::path root_;
  ScopedEnv data_env_;
};

// --- Drive paths ----------------------------------------------------------------------

TEST_F(FilesLibraryTest, DrivePathsMapIntoTheDataFolder) {
  const std::string data = (root() / "data").string();
  static const struct {
    const char* path;
    std::string expected;
  } cases[] = {
      {"C:\\Windows\\jedata.dll", data + "/tessevin/drive_c/Windows/jedata.dll"},
      {"c:/Windows/win8.she", data + "/tessevin/drive_c/Windows/win8.she"},
      {"D:\\a\\b\\", data + "/tessevin/drive_d/a/b/"},
      {"C:", data + "/tessevin/drive_c/"},
      {"C:x.txt", data + "/tessevin/drive_c/x.txt"},  // drive-relative: from the root
      {"/tmp/a\\b", "/tmp/a\\b"},                     // a local path stays as it is
      {"relative/name", "relative/name"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(files::local_path(c.path), c.expected) << c.path;
  EXPECT_EQ(files::windows_folder(), data + "/tessevin/drive_c/Windows");
}

TEST_F(FilesLibraryTest, DataFolderFallsBackToHomeWhenUnsetOrRelative) {
  const ScopedEnv home("HOME", "/home/someone");
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "relative/data"}) {
    const ScopedEnv data("XDG_DATA_HOME", xdg);
    EXPECT_EQ(files::local_path("C:\\x"), "/home/someone/.local/share/tessevin/drive_c/x")
        << (xdg ? xdg : "(unset)");
  }
}

// --- write_file -----------------------------------------------------------------------

TEST_F(FilesLibraryTest, WriteFileCreatesFoldersAndWritesThePartsInOrder) {
  // Empty parts are skipped; zero bytes inside a part are written like any other.
  ASSERT_TRUE(app::write_file("C:\\Windows\\new.bin",
                              {Bytes("ab"sv), Bytes(), Bytes(std::string_view("c\0d", 3))}));
  EXPECT_EQ(read_all(drive_c() / "Windows/new.bin"), std::string("abc\0d", 5));

  ASSERT_TRUE(app::write_file("C:\\Windows\\empty.bin", {Bytes()}));
  EXPECT_TRUE(fs::exists(drive_c() / "Windows/empty.bin"));
  EXPECT_EQ(fs::file_size(drive_c() / "Windows/empty.bin"), 0u);
}

TEST_F(FilesLibraryTest, WriteFileEmptiesALongerFileFirst) {
  write_plain(drive_c() / "Windows/win8.she", std::string(1000, 'x'));
  ASSERT_TRUE(app::write_file("C:\\Windows\\win8.she", {Bytes("short"sv)}));
  EXPECT_EQ(read_all(drive_c() / "Windows/win8.she"), "short");
}

TEST_F(FilesLibraryTest, WriteFileAnswersFalseWhenTheFileCannotBeMade) {
  fs::create_directories(drive_c() / "Windows/jedata.dll");
  const std::string missing_folder = (root() / "no/such/folder/file").string();
  static const struct {
    const char* what;
    std::string path;
  } cases[] = {
      {"empty path", ""},
      {"a folder in the way", "C:\\Windows\\jedata.dll"},
      {"a missing folder of a local path", missing_folder},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(app::write_file(Text(c.path), {Bytes("x"sv)})) << c.what;
  }
  EXPECT_FALSE(fs::exists(root() / "no"));
}

TEST_F(FilesLibraryTest, WriteFileLeavesAFileInUseWhole) {
  const fs::path held = drive_c() / "Windows/held.bin";
  write_plain(held, "kept bytes");
  const files::FileHandle holder = files::create_exclusive("C:\\Windows\\held.bin");
  ASSERT_NE(holder, files::invalid_file);
  ASSERT_TRUE(files::write_all(holder, "kept bytes", 10));

  EXPECT_FALSE(app::write_file("C:\\Windows\\held.bin", {Bytes("other"sv)}));
  EXPECT_EQ(read_all(held), "kept bytes");

  ASSERT_TRUE(files::close_file(holder));
  EXPECT_TRUE(app::write_file("C:\\Windows\\held.bin", {Bytes("other"sv)}));
  EXPECT_EQ(read_all(held), "other");
}

TEST_F(FilesLibraryTest, WriteFileAnswersFalseWhenAWriteFails) {
  // A file size limit makes the second part fail half-way; the file keeps what fitted.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 6;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = app::write_file("C:\\Windows\\big.bin", {Bytes("1234"sv), Bytes("5678"sv)});
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(written);
  EXPECT_EQ(read_all(drive_c() / "Windows/big.bin"), "123456");
}

// --- library --------------------------------------------------------------------------

constexpr const char* engine_name = "tessevin_recording_engine.so";

// The file a module was loaded from, read back through one of its functions.
std::string loaded_from(library::Module* module) {
  void* function = library::find_function(module, "SkinH_AttachEx");
  Dl_info info{};
  if (function == nullptr || dladdr(function, &info) == 0 || info.dli_fname == nullptr) return {};
  return fs::weakly_canonical(info.dli_fname).string();
}

TEST_F(FilesLibraryTest, ProgramFolderIsTheFolderOfThisProgram) {
  const std::string folder = library::program_folder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(folder) / "files_library_tests"));
}

TEST_F(FilesLibraryTest, LibrariesAreFoundInTheirSearchOrder) {
  const std::string built = fs::weakly_canonical(TESSEVIN_TEST_ENGINE).string();
  const fs::path own_folder = root() / "program";
  const fs::path windows_copy = drive_c() / "Windows" / engine_name;
  fs::create_directories(own_folder);
  fs::create_directories(windows_copy.parent_path());
  fs::copy_file(built, own_folder / engine_name);
  fs::copy_file(built, windows_copy);
  const std::string windows = fs::weakly_canonical(windows_copy).string();

  static const struct {
    const char* what;
    std::string name;
    bool remove_windows_copy;
    std::string expected;  // empty: not found
  } cases[] = {
      {"a path: that file, before the Windows folder", (own_folder / engine_name).string(), false,
       fs::weakly_canonical(own_folder / engine_name).string()},
      {"a drive path", std::string("C:\\Windows\\") + engine_name, false, windows},
      {"a bare name: the Windows folder first", engine_name, false, windows},
      {"a bare name: then the system's search", engine_name, true, built},
      {"a name found nowhere", "tessevin_no_such_engine.so", true, ""},
      {"a path to nothing", (own_folder / "missing.so").string(), true, ""},
  };
  for (const auto& c : cases) {
    if (c.remove_windows_copy) fs::remove(windows_copy);
    library::Module* module = library::load_library(c.name);
    if (c.expected.empty()) {
      EXPECT_EQ(module, nullptr) << c.what;
      continue;
    }
    ASSERT_NE(module, nullptr) << c.what;
    EXPECT_EQ(loaded_from(module), c.expected) << c.what;
    EXPECT_TRUE(library::free_library(module)) << c.what;
  }
}

TEST_F(FilesLibraryTest, FunctionsAreFoundByName) {
  library::Module* full = library::load_library(TESSEVIN_TEST_ENGINE);
  library::Module* lacking = library::load_library(TESSEVIN_TEST_ENGINE_NO_AERO);
  ASSERT_NE(full, nullptr);
  ASSERT_NE(lacking, nullptr);
  EXPECT_NE(library::find_function(full, "SkinH_AttachEx"), nullptr);
  EXPECT_NE(library::find_function(full, "SkinH_AdjustAero"), nullptr);
  EXPECT_NE(library::find_function(lacking, "SkinH_AttachEx"), nullptr);
  EXPECT_EQ(library::find_function(lacking, "SkinH_AdjustAero"), nullptr);
  EXPECT_EQ(library::find_function(full, "SkinH_NoSuchFunction"), nullptr);
  EXPECT_EQ(library::find_function(nullptr, "SkinH_AttachEx"), nullptr);
  EXPECT_TRUE(library::free_library(full));
  EXPECT_TRUE(library::free_library(lacking));
}

TEST_F(FilesLibraryTest, ALoadedLibraryIsLockedWhileItIsMapped) {
  static const struct {
    const char* what;
    const char* built;
    const char* name;
    bool unlocked_after_release;
  } cases[] = {
      {"a library that unloads", TESSEVIN_TEST_ENGINE, "jedata.dll", true},
      // Still mapped after its release, so emptying it would still crash us.
      {"a library that stays mapped", TESSEVIN_TEST_RESIDENT_ENGINE, "resident.dll", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = drive_c() / "Windows" / c.name;
    const Text drive_path = concat_text("C:\\Windows\\", c.name);
    fs::create_directories(file.parent_path());
    fs::copy_file(c.built, file);
    const std::string original = read_all(file);

    // Two loads of one file: the same module, counted twice.
    library::Module* first = library::load_library(c.name);
    library::Module* second = library::load_library(drive_path.view());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);

    EXPECT_FALSE(app::write_file(drive_path, {Bytes("overwritten"sv)}));
    EXPECT_TRUE(library::free_library(second));
    EXPECT_FALSE(app::write_file(drive_path, {Bytes("overwritten"sv)}));
    EXPECT_TRUE(holds_bytes(file, original)) << "a locked library must keep every byte";

    EXPECT_TRUE(library::free_library(first));
    EXPECT_FALSE(library::free_library(first)) << "released once too often";
    EXPECT_EQ(app::write_file(drive_path, {Bytes("overwritten"sv)}), c.unlocked_after_release);
    if (!c.unlocked_after_release) {
      EXPECT_TRUE(holds_bytes(file, original));
    }
  }
}

TEST_F(FilesLibraryTest, AFileBeingWrittenIsLoadedOnceTheWriteEnds) {
  const fs::path file = drive_c() / "Windows/jedata.dll";
  fs::create_directories(file.parent_path());
  fs::copy_file(TESSEVIN_TEST_ENGINE, file);
  const std::string whole = read_all(file);

  // A writer that lets go soon: the load waits for it and gets what was written.
  files::FileHandle writer = files::create_exclusive("C:\\Windows\\jedata.dll");
  ASSERT_NE(writer, files::invalid_file);
  std::thread finishing([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(files::write_all(writer, whole.data(), whole.size()));
    EXPECT_TRUE(files::close_file(writer));
  });
  library::Module* module = library::load_library("C:\\Windows\\jedata.dll");
  finishing.join();
  ASSERT_NE(module, nullptr);
  EXPECT_NE(library::find_function(module, "SkinH_AttachEx"), nullptr);
  EXPECT_TRUE(library::free_library(module));

  // A writer that never lets go: the load gives up after its short wait.
  writer = files::create_exclusive("C:\\Windows\\jedata.dll");
  ASSERT_NE(writer, files::invalid_file);
  ASSERT_TRUE(files::write_all(writer, whole.data(), whole.size()));
  EXPECT_EQ(library::load_library("C:\\Windows\\jedata.dll"), nullptr);
  ASSERT_TRUE(files::close_file(writer));
}

}  // namespace
}  // namespace tessevin
