#include "app/engine.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/message_box.h"
#include "app/qt_text.h"
#include "platform/files.h"
#include "text/convert.h"

// The carried files, linked in by the build (carried_files.cpp, generated).
extern "C" const unsigned char tessevin_carried_engine[];
extern "C" const unsigned char tessevin_carried_engine_end[];
extern "C" const unsigned char tessevin_carried_skin[];
extern "C" const unsigned char tessevin_carried_skin_end[];

namespace tessevin::app {

namespace {

namespace files = platform::files;
namespace library = platform::library;

const Text engine_library_path = "C:\\Windows\\jedata.dll";
const Text skin_file_path = "C:\\Windows\\win8.she";

std::array<EngineFunction, 2>& engine_functions() {
  static std::array<EngineFunction, 2> table{{
      {"jedata.dll", "SkinH_AttachEx"},
      {"jedata.dll", "SkinH_AdjustAero"},
  }};
  return table;
}

using AttachEx = int (*)(const char*, const char*);
using AdjustAero = int (*)(int, int, int, int, int, int, int, int, int);

Bytes carried(const unsigned char* begin, const unsigned char* end) {
  return Bytes(std::string_view(reinterpret_cast<const char*>(begin),
                                static_cast<std::size_t>(end - begin)));
}

}  // namespace

Bytes skin_engine_bytes() { return carried(tessevin_carried_engine, tessevin_carried_engine_end); }
Bytes skin_file_bytes() { return carried(tessevin_carried_skin, tessevin_carried_skin_end); }

bool write_file(const Text& path, std::initializer_list<Bytes> parts) {
  if (path.empty()) return false;
  // Paths are held in code page 936; the file system names files in UTF-8.
  const files::FileHandle file = files::create_exclusive(ansi_to_utf8(path).view());
  if (file == files::invalid_file) return false;
  bool written = true;
  for (const Bytes& part : parts) {
    if (part.empty()) continue;
    if (!files::write_all(file, part.data(), part.size())) {
      written = false;
      break;
    }
  }
  const bool closed = files::close_file(file);
  return written && closed;
}

void* bind_engine_function(int entry) {
  EngineFunction& function = engine_functions().at(static_cast<std::size_t>(entry));
  if (function.address != nullptr) return function.address;

  // The file name holds no drive, so the program's own folder is tried first.
  const std::string folder = library::program_folder();
  library::Module* module = nullptr;
  if (!folder.empty()) {
    module = library::load_library(folder + "/" + function.library_file);
  }
  if (module == nullptr) module = library::load_library(function.library_file);
  if (module != nullptr) {
    if (void* address = library::find_function(module, function.function_name)) {
      function.address = address;
      function.library = module;
      return address;
    }
    library::free_library(module);
  }
  report_fatal_error(
      concat_text(gbk_literal("无法找到指定DLL库文件“"), function.library_file,
                  gbk_literal("”中的输出命令“"), function.function_name, gbk_literal("”")),
      0);
}

int call_skin_attach_ex(const char* skin_path, const char* password) {
  return reinterpret_cast<AttachEx>(bind_engine_function(engine_attach_ex))(skin_path, password);
}

int call_skin_adjust_aero(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int v9) {
  return reinterpret_cast<AdjustAero>(bind_engine_function(engine_adjust_aero))(v1, v2, v3, v4, v5,
                                                                                v6, v7, v8, v9);
}

void deploy_skin() {
  // A copy of the program that is running holds the library: then the one on disk
  // is bound as it is.
  (void)write_file(engine_library_path, {skin_engine_bytes()});
  (void)write_file(skin_file_path, {skin_file_bytes()});
  // The engine opens the skin itself, so it gets the file's local path; the password
  // is an empty string, never a null pointer.
  const std::string skin = files::local_path(ansi_to_utf8(skin_file_path).view());
  (void)call_skin_attach_ex(skin.c_str(), "");
}

void on_main_window_created() { (void)call_skin_adjust_aero(210, 0, 0, 3, 0, 0, 0, 0, 0); }

Text fatal_error_text(const Text& message, int code) {
  const Text two_breaks = "\r\n\r\n";
  Text text = concat_text(gbk_literal("运行时出错!"), two_breaks);
  if (code != 0) {
    text = concat_text(text, gbk_literal("错误代码："), std::to_string(code).c_str(), two_breaks);
  }
  if (!message.empty()) text = concat_text(text, gbk_literal("错误信息："), message, "\r\n");
  return text;
}

void report_fatal_error(const Text& message, int code) {
  show_box(gbk_literal("错误"), fatal_error_text(message, code), BoxIcon::error);
  release_engine();
  // Ends at once, as the system's process exit does: nothing of the half-started
  // program (the window, the application object) is torn down or runs again.
  std::fflush(nullptr);
  std::_Exit(255);
}

void release_engine() {
  for (EngineFunction& function : engine_functions()) {
    if (function.library == nullptr) continue;
    library::free_library(function.library);
    function.library = nullptr;
    function.address = nullptr;
  }
}

}  // namespace tessevin::app
