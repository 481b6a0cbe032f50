// Files under Windows-style paths, and the exclusive write of the start-up files.
//
// The program names its files the Windows way ("C:\Windows\jedata.dll"). Here every
// drive is a folder of the user's:
//   "C:\Windows\jedata.dll" -> "$XDG_DATA_HOME/tessevin/drive_c/Windows/jedata.dll"
// ($XDG_DATA_HOME unset, empty or relative: "~/.local/share"). The drive letter is
// read in either case and written in lower case; backslashes become slashes. A path
// without a drive ("/tmp/x", "x") is already a local one and is used as it is.
//
// An exclusive write takes the file's lock (flock) before it empties the file. The
// library layer holds a shared lock on every file it has loaded, so a loaded library
// is never emptied under a running program: its write fails instead, the way Windows
// refuses to write a file that is in use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessevin::platform::files {

// The local path of `path`; empty when the user's data folder cannot be found.
//   local_path("C:\\Windows\\win8.she") ==
//   "/home/me/.local/share/tessevin/drive_c/Windows/win8.she" local_path("/tmp/a\\b") ==
//   "/tmp/a\\b"
[[nodiscard]] std::string local_path(std::string_view path);

// The local folder that stands for "C:\Windows" (without a trailing slash).
[[nodiscard]] std::string windows_folder();

// An open file of create_exclusive; invalid_file when there is none.
using FileHandle = int;
inline constexpr FileHandle invalid_file = -1;

// Creates the file at `path`, or empties it when it exists, and keeps it locked
// against every other opener until close_file. For a drive path the missing folders
// on the way are created first (a fresh drive folder is empty). Answers invalid_file
// when the path is empty, when the file cannot be created or opened (no rights, a
// missing folder of a local path, a folder in the way), or when it is in use (locked
// by someone else, for example a library loaded by a running copy of the program);
// a file in use is left as it was.
[[nodiscard]] FileHandle create_exclusive(std::string_view path);

// Writes all `size` bytes at the current end; false when any of them cannot be
// written (which may leave a shortened file).
[[nodiscard]] bool write_all(FileHandle file, const void* data, std::size_t size);

// Closes the file and releases its lock; false when the close fails.
[[nodiscard]] bool close_file(FileHandle file);

}  // namespace tessevin::platform::files
