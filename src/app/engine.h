// The skin engine as the program uses it: the two files it carries (the engine
// library and the skin), written out at every start, and the engine's two functions,
// bound by library file name and function name at their first call.
//
// The engine is our own (src/skin/). The program carries its library as bytes,
// writes it to "C:\Windows\jedata.dll" and the skin to "C:\Windows\win8.she" (drive
// paths live under the user's data folder, see platform/files.h), then binds
// "jedata.dll": first in the program's own folder, then by the bare name, which looks
// in the Windows folder of that drive and then in the system's library folders. A
// copy of the program that is already running holds its library locked, so a second
// copy cannot rewrite it and binds the library already on disk.
#pragma once

#include <initializer_list>

#include "platform/library.h"
#include "text/text.h"

namespace tessevin::app {

// One engine function: where it comes from, and, once bound, its address and the
// library handle it was bound from.
struct EngineFunction {
  const char* library_file;
  const char* function_name;
  void* address = nullptr;
  platform::library::Module* library = nullptr;
};

// Entries of the engine function table.
inline constexpr int engine_attach_ex = 0;    // SkinH_AttachEx
inline constexpr int engine_adjust_aero = 1;  // SkinH_AdjustAero

// The address of the entry's function, bound now if it is not yet. Binding tries the
// program's folder, then the bare library name; when neither gives the function, the
// program ends through the fatal error box naming the library and the function.
[[nodiscard]] void* bind_engine_function(int entry);

// The engine's two calls, bound at their first use.
int call_skin_attach_ex(const char* skin_path, const char* password);
int call_skin_adjust_aero(int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8, int v9);

// Writes both carried files into the Windows folder (failures ignored: a running copy
// may hold them) and attaches the skin. The engine is handed the local path of the
// skin file, since it opens files itself.
void deploy_skin();

// Creates the file at `path` (code page 936; a drive path is mapped), or empties it,
// holding it exclusively, and writes the parts in order, skipping empty ones. false
// when the path is empty, the file cannot be created or opened (no rights, a folder
// in the way, a file in use) or a write or the close fails; a failed write may leave
// a shortened file.
[[nodiscard]] bool write_file(const Text& path, std::initializer_list<Bytes> parts);

// The window's created event: all controls exist and the window is not shown yet.
void on_main_window_created();

// The box text of the fatal error box.
//   fatal_error_text("x", 5) == "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：x\r\n"
[[nodiscard]] Text fatal_error_text(const Text& message, int code);

// Shows the fatal error box, releases what shutdown releases and ends the process
// with status 255 (exit code -1).
[[noreturn]] void report_fatal_error(const Text& message, int code);

// Shutdown: one release per bound entry.
void release_engine();

// What the program carries.
[[nodiscard]] Bytes skin_engine_bytes();
[[nodiscard]] Bytes skin_file_bytes();

}  // namespace tessevin::app
