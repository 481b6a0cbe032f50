#include "platform/curl_api.h"

#include <dlfcn.h>

namespace tessevin::platform {

namespace {

// libcurl's run-time name on Debian (the OpenSSL flavour, package libcurl4).
constexpr const char* library_name = "libcurl.so.4";

template <typename Function>
bool bind(void* library, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(dlsym(library, name));
  return slot != nullptr;
}

struct Loaded {
  CurlApi api{};
  bool ok = false;

  Loaded() {
    void* library = dlopen(library_name, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return;
    ok = bind(library, "curl_global_init", api.global_init) &&
         bind(library, "curl_easy_init", api.easy_init) &&
         bind(library, "curl_easy_cleanup", api.easy_cleanup) &&
         bind(library, "curl_easy_setopt", api.easy_setopt) &&
         bind(library, "curl_easy_pause", api.easy_pause) && bind(library, "curl_free", api.free) &&
         bind(library, "curl_multi_init", api.multi_init) &&
         bind(library, "curl_multi_cleanup", api.multi_cleanup) &&
         bind(library, "curl_multi_add_handle", api.multi_add_handle) &&
         bind(library, "curl_multi_remove_handle", api.multi_remove_handle) &&
         bind(library, "curl_multi_perform", api.multi_perform) &&
         bind(library, "curl_multi_poll", api.multi_poll) &&
         bind(library, "curl_multi_info_read", api.multi_info_read) &&
         bind(library, "curl_share_init", api.share_init) &&
         bind(library, "curl_share_cleanup", api.share_cleanup) &&
         bind(library, "curl_share_setopt", api.share_setopt) &&
         bind(library, "curl_slist_append", api.slist_append) &&
         bind(library, "curl_slist_free_all", api.slist_free_all) &&
         bind(library, "curl_url", api.url) && bind(library, "curl_url_cleanup", api.url_cleanup) &&
         bind(library, "curl_url_get", api.url_get) && bind(library, "curl_url_set", api.url_set);
    // The library stays loaded for the life of the process: handles and the cookie
    // store may outlive any one caller.
  }
};

const Loaded& loaded() {
  static const Loaded instance;
  return instance;
}

}  // namespace

bool curl_api_loaded() { return loaded().ok; }

const CurlApi& curl_api() { return loaded().api; }

}  // namespace tessevin::platform
