// Loading a library by file name and finding its functions by name, in the shape of
// the Windows calls the start-up code was designed around (load, find, free). Built
// on dlopen, dlsym and dlclose.
//
// Where a library is looked for:
// - a path (it holds a slash, a backslash or a drive, "C:\..."): that file only; a
//   drive path is mapped as the files layer maps it;
// - a bare file name: the Windows folder of the mapped drive C first
//   ("drive_c/Windows", see files.h), then the system's own search (dlopen of the
//   bare name: the caller's run path, LD_LIBRARY_PATH, the system's library folders).
// The program's own folder is not searched here: a caller that wants it first asks
// for "<program_folder()>/<name>" before the bare name.
//
// Each successful load counts once, and each must be freed once. Loading the same
// file again answers the same module with its count raised.
//
// While a module is loaded, this layer holds a shared lock (flock) on its file, so
// the exclusive write of the files layer fails on it: a second copy of the program
// cannot empty, and so crash, a library the first copy runs. A file that is locked
// for writing (being written this moment) is not loaded.
#pragma once

#include <string>
#include <string_view>

namespace tessevin::platform::library {

struct Module;

// The folder of the running program file, without a trailing slash; empty when it
// cannot be read.
[[nodiscard]] std::string program_folder();

// Loads the library with every symbol resolved now and kept local to it; nullptr
// when it is found nowhere, cannot be loaded, or its file is being written.
[[nodiscard]] Module* load_library(std::string_view file_name);

// The address of the function `name` of the module; nullptr when it has none.
[[nodiscard]] void* find_function(Module* module, const char* name);

// Releases one load of the module; the last release unloads it and drops the lock.
// A library that the system keeps mapped after its last release (one with C++
// "unique" symbols, or linked "no delete") keeps its lock as long as the process
// lives. false for a module that is not loaded.
bool free_library(Module* module);

}  // namespace tessevin::platform::library
