#include "platform/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tessevin::platform::files {

namespace {

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool has_drive(std::string_view path) {
  return path.size() >= 2 && is_drive_letter(path[0]) && path[1] == ':';
}

// Where the user's data lives, by the XDG rules; empty when there is no home at all.
std::string data_home() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/share";
  const passwd* user = getpwuid(getuid());
  if (user != nullptr && user->pw_dir != nullptr && user->pw_dir[0] != '\0') {
    return std::string(user->pw_dir) + "/.local/share";
  }
  return {};
}

}  // namespace

std::string local_path(std::string_view path) {
  if (!has_drive(path)) return std::string(path);
  const std::string data = data_home();
  if (data.empty()) return {};
  std::string local = data + "/tessevin/drive_";
  local += static_cast<char>(path[0] | 0x20);  // ASCII lower case
  // "C:x" (relative to the drive's current folder on Windows) is read from its root:
  // a drive folder here has no current folder.
  std::string_view rest = path.substr(2);
  if (rest.empty() || (rest.front() != '\\' && rest.front() != '/')) local += '/';
  for (char c : rest) local += c == '\\' ? '/' : c;
  return local;
}

std::string windows_folder() { return local_path("C:\\Windows"); }

FileHandle create_exclusive(std::string_view path) {
  if (path.empty()) return invalid_file;
  const std::string local = local_path(path);
  if (local.empty()) return invalid_file;
  if (has_drive(path)) {
    std::error_code ignored;  // a folder that cannot be made shows at the open below
    std::filesystem::create_directories(std::filesystem::path(local).parent_path(), ignored);
  }
  // No O_TRUNC: the file is emptied only once the lock is ours, so a file that
  // someone holds (a loaded library) keeps every byte.
  const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return invalid_file;
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return invalid_file;
  }
  return fd;
}

bool write_all(FileHandle file, const void* data, std::size_t size) {
  if (file < 0) return false;
  const auto* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(file, at, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;  // a full disk answers 0 or ENOSPC
    at += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool close_file(FileHandle file) {
  if (file < 0) return false;
  // After an interrupted close the descriptor is gone all the same (Linux), so it is
  // never closed twice; the interruption still counts as a failed close.
  return ::close(file) == 0;
}

}  // namespace tessevin::platform::files
