// libcurl, loaded when the first request needs it rather than when the program
// starts: libcurl and the TLS, Kerberos and LDAP libraries it brings would otherwise
// be loaded and relocated at every start, before a window can show.
//
// Include this instead of <curl/curl.h>. The curl_* names used by the HTTP layer then
// call through the loaded library; call curl_api_loaded() first and use none of them
// when it answers false.
#pragma once

#include <curl/curl.h>

namespace tessevin::platform {

struct CurlApi {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_pause) easy_pause;
  decltype(&::curl_free) free;
  decltype(&::curl_multi_init) multi_init;
  decltype(&::curl_multi_cleanup) multi_cleanup;
  decltype(&::curl_multi_add_handle) multi_add_handle;
  decltype(&::curl_multi_remove_handle) multi_remove_handle;
  decltype(&::curl_multi_perform) multi_perform;
  decltype(&::curl_multi_poll) multi_poll;
  decltype(&::curl_multi_info_read) multi_info_read;
  decltype(&::curl_share_init) share_init;
  decltype(&::curl_share_cleanup) share_cleanup;
  decltype(&::curl_share_setopt) share_setopt;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
  decltype(&::curl_url) url;
  decltype(&::curl_url_cleanup) url_cleanup;
  decltype(&::curl_url_get) url_get;
  decltype(&::curl_url_set) url_set;
};

// Loads libcurl once (thread-safe) and answers whether every function was found.
[[nodiscard]] bool curl_api_loaded();
// The loaded functions; only after curl_api_loaded() answered true.
[[nodiscard]] const CurlApi& curl_api();

}  // namespace tessevin::platform

// curl.h wraps these two in macros of its own that only check the argument count.
#undef curl_easy_setopt
#undef curl_share_setopt
// clang-format off
#define curl_global_init (::tessevin::platform::curl_api().global_init)
#define curl_easy_init (::tessevin::platform::curl_api().easy_init)
#define curl_easy_cleanup (::tessevin::platform::curl_api().easy_cleanup)
#define curl_easy_setopt (::tessevin::platform::curl_api().easy_setopt)
#define curl_easy_pause (::tessevin::platform::curl_api().easy_pause)
#define curl_free (::tessevin::platform::curl_api().free)
#define curl_multi_init (::tessevin::platform::curl_api().multi_init)
#define curl_multi_cleanup (::tessevin::platform::curl_api().multi_cleanup)
#define curl_multi_add_handle (::tessevin::platform::curl_api().multi_add_handle)
#define curl_multi_remove_handle (::tessevin::platform::curl_api().multi_remove_handle)
#define curl_multi_perform (::tessevin::platform::curl_api().multi_perform)
#define curl_multi_poll (::tessevin::platform::curl_api().multi_poll)
#define curl_multi_info_read (::tessevin::platform::curl_api().multi_info_read)
#define curl_share_init (::tessevin::platform::curl_api().share_init)
#define curl_share_cleanup (::tessevin::platform::curl_api().share_cleanup)
#define curl_share_setopt (::tessevin::platform::curl_api().share_setopt)
#define curl_slist_append (::tessevin::platform::curl_api().slist_append)
#define curl_slist_free_all (::tessevin::platform::curl_api().slist_free_all)
#define curl_url (::tessevin::platform::curl_api().url)
#define curl_url_cleanup (::tessevin::platform::curl_api().url_cleanup)
#define curl_url_get (::tessevin::platform::curl_api().url_get)
#define curl_url_set (::tessevin::platform::curl_api().url_set)
// clang-format on
