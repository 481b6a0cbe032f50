#include "platform/library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>

#include "platform/files.h"

namespace tessevin::platform::library {

namespace {

// What a module holds besides dlopen's own count: the locked descriptor of its file,
// the file's path and how many of our loads are still open. A module that stays
// mapped after its last release (marked "no delete") keeps its entry, and its lock,
// with no loads.
struct Loaded {
  int lock_fd = -1;
  std::string path;
  int loads = 0;
};

std::mutex& registry_mutex() {
  static std::mutex m;
  return m;
}

std::map<void*, Loaded>& registry() {
  static std::map<void*, Loaded> loaded;
  return loaded;
}

// A descriptor holding a shared lock on `path`, or -1 when the file cannot be opened
// or someone keeps writing it. A copy of the program that starts together with
// another finds the file being written for a moment: it waits for that write to end
// (a little while at most) and then loads what was written, instead of giving up.
int lock_shared(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  constexpr int waits = 200;  // of 5 ms: a second at most
  for (int attempt = 0;; ++attempt) {
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) return fd;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK || attempt == waits) break;
    ::usleep(5000);
  }
  ::close(fd);
  return -1;
}

// Counts one more load of `handle`; its lock is kept once per module.
Module* remember(void* handle, int lock_fd, const std::string& path) {
  const std::lock_guard<std::mutex> guard(registry_mutex());
  Loaded& loaded = registry()[handle];
  if (loaded.lock_fd < 0) {
    loaded.lock_fd = lock_fd;
    loaded.path = path;
  } else {
    ::close(lock_fd);
  }
  ++loaded.loads;
  return static_cast<Module*>(handle);
}

// The lock is taken before the load, so the file cannot be emptied in between.
Module* load_file(const std::string& path) {
  const int lock_fd = lock_shared(path.c_str());
  if (lock_fd < 0) return nullptr;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    ::close(lock_fd);
    return nullptr;
  }
  return remember(handle, lock_fd, path);
}

// The system's search finds the file itself, so its lock can only follow the load;
// a file found being written is let go again.
Module* load_by_search(const std::string& name) {
  void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  link_map* map = nullptr;
  const std::string path =
      ::dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr
          ? map->l_name
          : "";
  const int lock_fd = path.empty() ? -1 : lock_shared(path.c_str());
  if (lock_fd < 0) {
    ::dlclose(handle);
    return nullptr;
  }
  return remember(handle, lock_fd, path);
}

bool is_path(std::string_view name) {
  return name.find_first_of("/\\") != std::string_view::npos ||
         (name.size() >= 2 && name[1] == ':');
}

}  // namespace

std::string program_folder() {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      break;
    }
    buffer.resize(buffer.size() * 2);  // may have been cut short: read it again
  }
  const std::size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : buffer.substr(0, slash);
}

Module* load_library(std::string_view file_name) {
  if (file_name.empty()) return nullptr;
  if (is_path(file_name)) {
    const std::string local = files::local_path(file_name);
    return local.empty() ? nullptr : load_file(local);
  }
  const std::string name(file_name);
  const std::string windows = files::windows_folder();
  if (!windows.empty()) {
    if (Module* module = load_file(windows + "/" + name)) return module;
  }
  return load_by_search(name);
}

void* find_function(Module* module, const char* name) {
  if (module == nullptr || name == nullptr) return nullptr;
  return ::dlsym(module, name);
}

bool free_library(Module* module) {
  const std::lock_guard<std::mutex> guard(registry_mutex());
  const auto found = registry().find(module);
  if (found == registry().end() || found->second.loads == 0) return false;
  const bool closed = ::dlclose(module) == 0;
  Loaded& loaded = found->second;
  if (--loaded.loads > 0) return closed;
  // The file is unlocked only once it is no longer mapped. A library with C++
  // "unique" symbols, or linked "no delete", stays mapped for the rest of the process,
  // and so stays locked too.
  if (void* resident = ::dlopen(loaded.path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
    ::dlclose(resident);
    return closed;
  }
  ::close(loaded.lock_fd);
  registry().erase(found);
  return closed;
}

}  // namespace tessevin::platform::library
