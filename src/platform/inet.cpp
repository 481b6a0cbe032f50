#include "platform/inet.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/curl_api.h"

namespace tessevin::platform::inet {
namespace {

using Clock = std::chrono::steady_clock;

// The transfer pauses once this much of the body waits unread, so a body of any
// size costs about this much here (plus one curl write of at most 16 KB).
constexpr std::size_t unread_limit = 64 * 1024;
// The longest single wait, so the inactivity check runs at least this often.
constexpr int poll_slice_ms = 1000;

struct Timeouts {
  long connect_ms = 60'000;
  long send_ms = 30'000;
  long receive_ms = 30'000;
};

// What new sessions start with; set_default_timeouts changes it (tests only).
struct DefaultTimeouts {
  std::mutex mutex;
  Timeouts timeouts;
};

[[nodiscard]] DefaultTimeouts& default_timeouts() {
  static DefaultTimeouts defaults;
  return defaults;
}

// Values of 0 or less leave that time-out as it was.
void change_timeouts(Timeouts& t, int connect_ms, int send_ms, int receive_ms) {
  if (connect_ms > 0) t.connect_ms = connect_ms;
  if (send_ms > 0) t.send_ms = send_ms;
  if (receive_ms > 0) t.receive_ms = receive_ms;
}

struct ProxyEntry {
  std::string scheme;   // "http", "https", or empty for every scheme
  std::string address;  // "host:port"; empty means direct
};

// What a child handle copies from its parent when it is opened.
struct Settings {
  std::string agent;
  std::vector<ProxyEntry> proxies;
  std::vector<std::string> bypass;
  Timeouts timeouts;
};

[[nodiscard]] char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

[[nodiscard]] bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

[[nodiscard]] bool starts_with_name(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && same_name(s.substr(0, prefix.size()), prefix);
}

// Splits at any of `separators`, leaving out empty parts.
[[nodiscard]] std::vector<std::string_view> split_any(std::string_view s,
                                                      std::string_view separators) {
  std::vector<std::string_view> parts;
  std::size_t begin = 0;
  while (begin <= s.size()) {
    const std::size_t end = std::min(s.find_first_of(separators, begin), s.size());
    if (end > begin) parts.push_back(s.substr(begin, end - begin));
    begin = end + 1;
  }
  return parts;
}

// ---- curl set-up shared by the whole process ----

[[nodiscard]] bool curl_ready() {
  static const bool ready = curl_api_loaded() && curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return ready;
}

// The process-wide cookie store: one share handle holding the cookies, with a lock
// per kind of shared data so requests on several threads may use it at once.
class CookieStore {
 public:
  // Null when the store could not be made. Never destroyed: a request on another
  // thread may still use it while the process exits.
  [[nodiscard]] static CookieStore* instance() {
    static CookieStore* const store = make();
    return store;
  }
  [[nodiscard]] CURLSH* share() const { return share_; }

 private:
  [[nodiscard]] static CookieStore* make() {
    if (!curl_ready()) return nullptr;
    auto* store = new (std::nothrow) CookieStore;
    if (store == nullptr) return nullptr;
    store->share_ = curl_share_init();
    if (store->share_ == nullptr ||
        curl_share_setopt(store->share_, CURLSHOPT_LOCKFUNC, &CookieStore::lock) != CURLSHE_OK ||
        curl_share_setopt(store->share_, CURLSHOPT_UNLOCKFUNC, &CookieStore::unlock) !=
            CURLSHE_OK ||
        curl_share_setopt(store->share_, CURLSHOPT_USERDATA, store) != CURLSHE_OK ||
        curl_share_setopt(store->share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
      if (store->share_ != nullptr) curl_share_cleanup(store->share_);
      delete store;
      return nullptr;
    }
    return store;
  }
  static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<CookieStore*>(user)->mutexes_[static_cast<std::size_t>(data)].lock();
  }
  static void unlock(CURL*, curl_lock_data data, void* user) {
    static_cast<CookieStore*>(user)->mutexes_[static_cast<std::size_t>(data)].unlock();
  }

  CURLSH* share_ = nullptr;
  std::mutex mutexes_[CURL_LOCK_DATA_LAST];
};

// ---- move-only owners of curl objects ----

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct ListDeleter {
  void operator()(curl_slist* h) const { curl_slist_free_all(h); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

// Appends to a header list; false (list unchanged) when curl cannot.
[[nodiscard]] bool append(HeaderList& list, const std::string& line) {
  curl_slist* grown = curl_slist_append(list.get(), line.c_str());
  if (grown == nullptr) return false;
  (void)list.release();  // curl_slist_append returns the same head, or a new one for an empty list
  list.reset(grown);
  return true;
}

[[nodiscard]] Failure failure_of(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return Failure::none;
    case CURLE_URL_MALFORMAT:
      return Failure::bad_address;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return Failure::cannot_resolve;
    case CURLE_COULDNT_CONNECT:
      return Failure::cannot_connect;
    case CURLE_OPERATION_TIMEDOUT:
      return Failure::timed_out;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return Failure::tls;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return Failure::connection_lost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:  // what curl says to a reply without a status line
    case CURLE_BAD_CONTENT_ENCODING:
      return Failure::bad_response;
    default:
      return Failure::other;
  }
}

// ---- addresses ----

[[nodiscard]] bool is_host_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// The host as it goes into an address, or empty when it cannot form one: a name or
// IPv4 address, or an IPv6 address (bracketed here if it came bare).
[[nodiscard]] std::string url_host(std::string_view host) {
  if (host.empty()) return {};
  if (std::all_of(host.begin(), host.end(), is_host_char)) return std::string(host);
  std::string_view inner = host;
  if (inner.size() > 2 && inner.front() == '[' && inner.back() == ']') {
    inner = inner.substr(1, inner.size() - 2);
  }
  const bool ipv6 = inner.find(':') != std::string_view::npos &&
                    std::all_of(inner.begin(), inner.end(), [](char c) {
                      return (c >= '0' && c <= '9') || (lower(c) >= 'a' && lower(c) <= 'f') ||
                             c == ':' || c == '.';
                    });
  if (!ipv6) return {};
  std::string bracketed = "[";
  bracketed.append(inner);
  bracketed += ']';
  return bracketed;
}

// The request target with every byte that may not stand in one percent-escaped.
// '#' is escaped too, so that the whole target reaches the server.
[[nodiscard]] std::string escape_target(std::string_view path) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size() + 1);
  if (path.empty() || path.front() != '/') out += '/';
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 0x0F];
    } else {
      out += ch;
    }
  }
  return out;
}

[[nodiscard]] std::vector<ProxyEntry> parse_proxy_list(std::string_view list) {
  std::vector<ProxyEntry> entries;
  for (std::string_view entry : split_any(list, " \t;")) {
    ProxyEntry e;
    const std::size_t eq = entry.find('=');
    if (eq != std::string_view::npos) {
      for (const char c : entry.substr(0, eq)) e.scheme += lower(c);
      entry.remove_prefix(eq + 1);
    }
    if (starts_with_name(entry, "http://")) entry.remove_prefix(7);
    while (!entry.empty() && entry.back() == '/') entry.remove_suffix(1);
    e.address = std::string(entry);
    const std::size_t colon = e.address.rfind(':');
    const std::size_t bracket = e.address.rfind(']');
    const bool has_port =
        colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    if (!e.address.empty() && !has_port) e.address += ":80";  // the proxy port Windows assumes
    entries.push_back(std::move(e));
  }
  return entries;
}

// '*' matches any run of characters; letters compare in any case.
[[nodiscard]] bool glob_match(std::string_view pattern, std::string_view text) {
  if (pattern.empty()) return text.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= text.size(); ++skip) {
      if (glob_match(pattern.substr(1), text.substr(skip))) return true;
    }
    return false;
  }
  return !text.empty() && lower(pattern.front()) == lower(text.front()) &&
         glob_match(pattern.substr(1), text.substr(1));
}

// The proxy ("http://host:port") for a request, or empty to go direct.
[[nodiscard]] std::string proxy_for(const Settings& settings, std::string_view scheme,
                                    std::string_view host) {
  for (const std::string& pattern : settings.bypass) {
    if (pattern == "<local>" ? host.find('.') == std::string_view::npos
                             : glob_match(pattern, host)) {
      return {};
    }
  }
  const ProxyEntry* chosen = nullptr;
  for (const ProxyEntry& entry : settings.proxies) {
    if (entry.scheme == scheme) {
      chosen = &entry;
      break;
    }
    if (entry.scheme.empty() && chosen == nullptr) chosen = &entry;
  }
  if (chosen == nullptr || chosen->address.empty()) return {};
  std::string proxy = "http://";
  proxy += chosen->address;
  return proxy;
}

// ---- the caller's header block ----

[[nodiscard]] bool is_token_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

struct HeaderBlock {
  std::vector<std::string> lines;  // in curl's form: "Name: value", or "Name;" for an empty value
  bool has_user_agent = false;
  bool has_accept = false;
  bool has_referer = false;
};

// Keeps the lines that can go on the wire as they are. Any lone CR or LF counts as
// a line end, so a caller's stray line break can never start a header of its own
// inside another line; the parts are then judged as lines by themselves.
[[nodiscard]] HeaderBlock parse_header_block(std::string_view block) {
  HeaderBlock out;
  for (const std::string_view line : split_any(block, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, colon);
    if (!std::all_of(name.begin(), name.end(), is_token_char)) continue;
    if (std::any_of(line.begin(), line.end(), [](char c) {
          return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F;
        })) {
      continue;
    }
    // The body is framed here; a caller's own framing line could only contradict it.
    if (same_name(name, "Content-Length") || same_name(name, "Transfer-Encoding")) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
      value.remove_prefix(1);
    // curl reads "Name:" as "remove that line"; "Name;" is its way to send an empty value.
    out.lines.push_back(value.empty() ? std::string(name) + ";" : std::string(line));
    out.has_user_agent = out.has_user_agent || same_name(name, "User-Agent");
    out.has_accept = out.has_accept || same_name(name, "Accept");
    out.has_referer = out.has_referer || same_name(name, "Referer");
  }
  return out;
}

// The absolute address that `location` names, seen from `base`; empty when there is none.
[[nodiscard]] std::string resolve(const std::string& base, const std::string& location) {
  if (location.empty()) return {};
  CURLU* url = curl_url();
  if (url == nullptr) return {};
  std::string out;
  char* text = nullptr;
  if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_URL, location.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE |
                       CURLU_PATH_AS_IS) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    out = text;
  }
  curl_free(text);
  curl_url_cleanup(url);
  return out;
}

[[nodiscard]] bool is_redirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

// ---- handles ----

struct Session {
  Settings settings;
};

struct Connection {
  Settings settings;
  std::string host;  // as it goes into an address; empty when it cannot form one
  int port = 0;
};

struct Request {
  Request(const Connection& c, std::uint32_t request_flags) : connection(c), flags(request_flags) {}
  ~Request() { stop(); }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;

  [[nodiscard]] bool send(std::string_view header_block, std::string_view body_bytes);
  // Drops the transfer and the response so far, as before the first send.
  void abandon();
  [[nodiscard]] bool read(char* buffer, int to_read, int* bytes_read);
  [[nodiscard]] bool query_headers(char* buffer, std::uint32_t* length) const;

  Connection connection;
  std::uint32_t flags;
  std::string verb = "GET";
  std::string target = "/";
  long http_version = CURL_HTTP_VERSION_1_1;
  std::string referrer;
  std::string accept_line;  // from the accept types; empty for none

  EasyHandle easy;
  MultiHandle multi;
  Failure failure = Failure::not_sent;

 private:
  [[nodiscard]] bool configure(const HeaderBlock& block);
  [[nodiscard]] bool set_method(const std::string& method, bool with_body);
  [[nodiscard]] bool start(const std::string& address);
  void stop();
  void finish(Failure why);
  void on_transfer_done(CURLcode code);
  [[nodiscard]] bool follow();
  template <class Ready>
  void drive(Ready ready);
  [[nodiscard]] std::size_t unread() const { return pending.size() - pending_pos; }
  [[nodiscard]] long inactivity_limit_ms() const;

  static size_t on_header(char* data, size_t size, size_t count, void* user);
  static size_t on_body(char* data, size_t size, size_t count, void* user);
  static int on_connected(void* user, char*, char*, int, int);
  static int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);

  HeaderList header_list;
  bool easy_used = false;
  std::string body;
  std::string url;            // of the response being received
  std::string transfer_verb;  // of the request being sent (a followed redirect may change it)
  bool sending_body = false;

  // Transfer state.
  bool running = false;  // the easy handle is in the multi handle
  bool done = true;
  bool paused = false;
  bool connected = false;  // the request is on its way (connecting is over)
  curl_off_t uploaded = 0;
  Clock::time_point last_activity;
  int redirects = 0;
  std::string follow_url;  // set when the response just received is to be followed

  // The response being received.
  std::string headers;  // status line and header lines, each ending in CR LF
  bool status_seen = false;
  bool headers_complete = false;
  int status = 0;
  std::string location;  // the first Location value

  // Body bytes received and not yet read; the unread part begins at pending_pos.
  std::string pending;
  std::size_t pending_pos = 0;
};

namespace {

[[nodiscard]] bool set(CURL* easy, CURLoption option, long value) {
  return curl_easy_setopt(easy, option, value) == CURLE_OK;
}
[[nodiscard]] bool set(CURL* easy, CURLoption option, const char* value) {
  return curl_easy_setopt(easy, option, value) == CURLE_OK;
}
[[nodiscard]] bool set(CURL* easy, CURLoption option, const std::string& value) {
  return set(easy, option, value.c_str());
}

}  // namespace

long Request::inactivity_limit_ms() const {
  return sending_body && uploaded < static_cast<curl_off_t>(body.size())
             ? connection.settings.timeouts.send_ms
             : connection.settings.timeouts.receive_ms;
}

bool Request::configure(const HeaderBlock& block) {
  CURL* e = easy.get();
  header_list.reset();
  bool ok = true;
  if (!accept_line.empty() && !block.has_accept) ok = ok && append(header_list, accept_line);
  for (const std::string& line : block.lines) ok = ok && append(header_list, line);
  // Lines curl would add on its own: none when the caller has no Accept line, and
  // never "Expect: 100-continue" (servers need not answer it).
  if (accept_line.empty() && !block.has_accept) ok = ok && append(header_list, "Accept:");
  ok = ok && append(header_list, "Expect:");
  ok = ok && curl_easy_setopt(e, CURLOPT_HTTPHEADER, header_list.get()) == CURLE_OK;

  const Settings& settings = connection.settings;
  if (!settings.agent.empty() && !block.has_user_agent) {
    ok = ok && set(e, CURLOPT_USERAGENT, settings.agent);
  }
  if (!referrer.empty() && !block.has_referer) ok = ok && set(e, CURLOPT_REFERER, referrer);
  if ((flags & flag_no_cookies) == 0) {
    const CookieStore* store = CookieStore::instance();
    ok = ok && store != nullptr && curl_easy_setopt(e, CURLOPT_SHARE, store->share()) == CURLE_OK &&
         set(e, CURLOPT_COOKIEFILE, "");  // switches the cookie engine on, reading no file
  }
  ok = ok && set(e, CURLOPT_HTTP_VERSION, http_version) && set(e, CURLOPT_PATH_AS_IS, 1L) &&
       set(e, CURLOPT_PROTOCOLS_STR, "http,https") && set(e, CURLOPT_FOLLOWLOCATION, 0L) &&
       set(e, CURLOPT_SSL_VERIFYPEER, 1L) && set(e, CURLOPT_SSL_VERIFYHOST, 2L) &&
       set(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L) && set(e, CURLOPT_NOSIGNAL, 1L) &&
       set(e, CURLOPT_CONNECTTIMEOUT_MS, settings.timeouts.connect_ms) &&
       set(e, CURLOPT_NOPROXY, "");  // our bypass list decides, never the environment
  ok = ok && curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Request::on_header) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_HEADERDATA, this) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Request::on_body) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_WRITEDATA, this) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Request::on_connected) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_PREREQDATA, this) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Request::on_progress) == CURLE_OK &&
       curl_easy_setopt(e, CURLOPT_XFERINFODATA, this) == CURLE_OK &&
       set(e, CURLOPT_NOPROGRESS, 0L);
  return ok;
}

// GET, HEAD, POST, or any other verb with or without a body.
bool Request::set_method(const std::string& method, bool with_body) {
  CURL* e = easy.get();
  transfer_verb = method;
  sending_body = with_body;
  bool ok = curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr)) == CURLE_OK;
  if (method == "HEAD") return ok && set(e, CURLOPT_NOBODY, 1L);
  if (with_body) {
    ok = ok &&
         curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) ==
             CURLE_OK &&
         set(e, CURLOPT_POSTFIELDS, body.c_str());
  } else {
    ok = ok && set(e, CURLOPT_HTTPGET, 1L);
  }
  if (method != (with_body ? "POST" : "GET")) ok = ok && set(e, CURLOPT_CUSTOMREQUEST, method);
  return ok;
}

bool Request::start(const std::string& address) {
  url = address;
  const bool secure = url.rfind("https:", 0) == 0;
  const std::string proxy =
      proxy_for(connection.settings, secure ? "https" : "http", connection.host);
  headers.clear();
  status_seen = headers_complete = false;
  status = 0;
  location.clear();
  follow_url.clear();
  pending.clear();
  pending_pos = 0;
  paused = connected = false;
  uploaded = 0;
  if (!set(easy.get(), CURLOPT_URL, url) || !set(easy.get(), CURLOPT_PROXY, proxy)) return false;
  if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) return false;
  running = true;
  done = false;
  return true;
}

void Request::stop() {
  if (running) curl_multi_remove_handle(multi.get(), easy.get());
  running = false;
}

void Request::finish(Failure why) {
  stop();
  done = true;
  failure = why;
}

// Moves on to the address of the redirect just received, the way browsers do:
// 303 (and 301/302 after a POST) turn into a GET without a body.
bool Request::follow() {
  ++redirects;
  const std::string next = follow_url;
  const bool to_get =
      transfer_verb != "HEAD" && (status == 303 || ((status == 301 || status == 302) &&
                                                    (transfer_verb == "POST" || sending_body)));
  if (to_get && !set_method("GET", false)) return false;
  return start(next);
}

void Request::on_transfer_done(CURLcode code) {
  stop();
  if (!follow_url.empty()) {
    if (!follow()) finish(Failure::other);
    return;
  }
  finish(failure_of(code));
}

// Runs the transfer until ready() holds or the transfer is over. The receive and
// send time-outs count only while a caller waits here, as they count while a
// blocking call waits.
template <class Ready>
void Request::drive(Ready ready) {
  last_activity = Clock::now();
  while (!done && !ready()) {
    if (paused && unread() == 0) {
      paused = false;
      last_activity = Clock::now();
      if (curl_easy_pause(easy.get(), CURLPAUSE_CONT) != CURLE_OK) {
        finish(Failure::other);
        return;
      }
    }
    int still_running = 0;
    if (curl_multi_perform(multi.get(), &still_running) != CURLM_OK) {
      finish(Failure::other);
      return;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy.get()) {
        on_transfer_done(msg->data.result);
        break;  // a followed redirect re-adds the handle; the queue belongs to the old transfer
      }
    }
    if (done || ready()) return;
    const long limit = inactivity_limit_ms();
    const auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - last_activity);
    if (connected && waited.count() >= limit) {
      finish(Failure::timed_out);
      return;
    }
    const long left = connected ? limit - static_cast<long>(waited.count()) : poll_slice_ms;
    const int wait_ms = static_cast<int>(std::clamp<long>(left, 1, poll_slice_ms));
    if (curl_multi_poll(multi.get(), nullptr, 0, wait_ms, nullptr) != CURLM_OK) {
      finish(Failure::other);
      return;
    }
  }
}

void Request::abandon() {
  finish(Failure::not_sent);
  headers.clear();
  status_seen = headers_complete = false;
  pending.clear();
  pending_pos = 0;
}

bool Request::send(std::string_view header_block, std::string_view body_bytes) {
  abandon();
  redirects = 0;
  // A fresh easy handle for each further send: curl_easy_reset would keep the
  // cookie share and the state of the last transfer.
  if (easy_used) {
    EasyHandle fresh(curl_easy_init());
    if (fresh == nullptr) return false;
    easy = std::move(fresh);
  }
  easy_used = true;
  body.assign(body_bytes);
  const bool has_body = !body.empty() || verb == "POST";
  if (connection.host.empty() || connection.port < 0 || connection.port > 65535) {
    failure = Failure::bad_address;
    return false;
  }
  if (!configure(parse_header_block(header_block)) || !set_method(verb, has_body)) {
    failure = Failure::other;
    return false;
  }
  const bool secure = (flags & flag_secure) != 0;
  std::string address = secure ? "https://" : "http://";
  address += connection.host;
  if (connection.port != 0) {
    address += ':';
    address += std::to_string(connection.port);
  }
  address += target;
  if (!start(address)) {
    finish(Failure::other);
    return false;
  }
  failure = Failure::none;
  drive([this] { return headers_complete && follow_url.empty(); });
  return headers_complete && follow_url.empty();
}

bool Request::read(char* buffer, int to_read, int* bytes_read) {
  *bytes_read = 0;
  if (failure == Failure::not_sent) return false;
  if (to_read <= 0) return true;
  drive([this] { return unread() != 0; });
  const std::size_t n = std::min(unread(), static_cast<std::size_t>(to_read));
  if (n == 0) return failure == Failure::none;
  std::memcpy(buffer, pending.data() + pending_pos, n);
  pending_pos += n;
  *bytes_read = static_cast<int>(n);
  return true;
}

bool Request::query_headers(char* buffer, std::uint32_t* length) const {
  // A block broken off before its end, or a redirect that could not be followed, is
  // no final response: the send failed, and a failed send leaves no headers to read.
  if (!status_seen || !headers_complete || !follow_url.empty()) return false;
  const std::size_t size = headers.size() + 2;  // the block's closing CR LF
  if (buffer == nullptr || *length < size + 1) {
    *length = static_cast<std::uint32_t>(size + 1);
    return false;
  }
  std::memcpy(buffer, headers.data(), headers.size());
  std::memcpy(buffer + headers.size(), "\r\n", 3);  // with the zero byte
  *length = static_cast<std::uint32_t>(size);
  return true;
}

size_t Request::on_header(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  const size_t n = size * count;
  r->last_activity = Clock::now();
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  try {
    if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
      // A new response: only the last one's headers are kept.
      r->headers.assign(line);
      r->headers += "\r\n";
      r->status_seen = true;
      r->headers_complete = false;
      r->location.clear();
      const std::size_t space = line.find(' ');
      r->status = space == std::string_view::npos
                      ? 0
                      : std::atoi(std::string(line.substr(space + 1, 3)).c_str());
      return n;
    }
    if (!r->status_seen || r->headers_complete) return n;  // trailers are not headers
    if (!line.empty()) {
      if (r->location.empty() && starts_with_name(line, "Location:")) {
        std::string_view value = line.substr(9);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
          value.remove_prefix(1);
        }
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
          value.remove_suffix(1);
        }
        r->location = value;
      }
      r->headers.append(line);
      r->headers += "\r\n";
      return n;
    }
    if (r->status / 100 == 1) return n;  // an interim response; the real one follows
    r->headers_complete = true;
    if ((r->flags & flag_no_auto_redirect) != 0 || !is_redirect(r->status) ||
        r->redirects >= max_redirects) {
      return n;
    }
    std::string next = resolve(r->url, r->location);
    if (!(starts_with_name(next, "http://") || starts_with_name(next, "https://"))) {
      return n;  // nowhere we can go: this response is the final one
    }
    r->follow_url = next;
    return 0;  // ends this transfer here; its body is of no use
  } catch (...) {
    return 0;
  }
}

size_t Request::on_body(char* data, size_t size, size_t count, void* user) {
  auto* r = static_cast<Request*>(user);
  const size_t n = size * count;
  if (r->unread() != 0 && r->unread() + n > unread_limit) {
    r->paused = true;
    return CURL_WRITEFUNC_PAUSE;  // curl hands these bytes again after the unpause
  }
  try {
    if (r->unread() == 0) {
      r->pending.clear();
      r->pending_pos = 0;
    } else if (r->pending_pos != 0) {
      r->pending.erase(0, r->pending_pos);
      r->pending_pos = 0;
    }
    r->pending.append(data, n);
  } catch (...) {
    return 0;
  }
  r->last_activity = Clock::now();
  return n;
}

int Request::on_connected(void* user, char*, char*, int, int) {
  auto* r = static_cast<Request*>(user);
  r->connected = true;
  r->last_activity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

int Request::on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
  auto* r = static_cast<Request*>(user);
  if (uploaded != r->uploaded) {
    r->uploaded = uploaded;
    r->last_activity = Clock::now();
  }
  return 0;
}

// ---- the calls ----

Session* open_session(const char* agent, int access_type, const char* proxy_list,
                      const char* bypass_list, std::uint32_t flags) {
  if (flags != 0 || (access_type != access_direct && access_type != access_proxy)) return nullptr;
  if (!curl_ready()) return nullptr;
  try {
    auto session = std::make_unique<Session>();
    {
      DefaultTimeouts& defaults = default_timeouts();
      const std::lock_guard<std::mutex> lock(defaults.mutex);
      session->settings.timeouts = defaults.timeouts;
    }
    if (agent != nullptr) session->settings.agent = agent;
    if (access_type == access_proxy) {
      if (proxy_list != nullptr) session->settings.proxies = parse_proxy_list(proxy_list);
      if (bypass_list != nullptr) {
        for (const std::string_view pattern : split_any(bypass_list, " \t;,")) {
          session->settings.bypass.emplace_back(pattern);
        }
      }
    }
    return session.release();
  } catch (...) {
    return nullptr;
  }
}

void set_timeouts(Session* session, int connect_ms, int send_ms, int receive_ms) {
  if (session == nullptr) return;
  change_timeouts(session->settings.timeouts, connect_ms, send_ms, receive_ms);
}

void set_default_timeouts(int connect_ms, int send_ms, int receive_ms) {
  DefaultTimeouts& defaults = default_timeouts();
  const std::lock_guard<std::mutex> lock(defaults.mutex);
  change_timeouts(defaults.timeouts, connect_ms, send_ms, receive_ms);
}

Connection* connect(Session* session, const char* host, int port, const char* user,
                    const char* password, int service, std::uint32_t, std::uintptr_t) {
  if (session == nullptr || host == nullptr || *host == '\0' || service != service_http ||
      user != nullptr || password != nullptr) {
    return nullptr;
  }
  try {
    auto connection = std::make_unique<Connection>();
    connection->settings = session->settings;
    connection->host = url_host(host);
    connection->port = port;
    return connection.release();
  } catch (...) {
    return nullptr;
  }
}

Request* open_request(Connection* connection, const char* verb, const char* object_path,
                      const char* version, const char* referrer, const char* const* accept_types,
                      std::uint32_t flags, std::uintptr_t) {
  if (connection == nullptr) return nullptr;
  try {
    auto request = std::make_unique<Request>(*connection, flags);
    if (verb != nullptr && *verb != '\0') request->verb = verb;
    request->target = escape_target(object_path != nullptr ? object_path : "");
    if (version != nullptr && std::string_view(version) == "HTTP/1.0") {
      request->http_version = CURL_HTTP_VERSION_1_0;
    }
    if (referrer != nullptr) request->referrer = referrer;
    if (accept_types != nullptr && accept_types[0] != nullptr) {
      request->accept_line = "Accept: ";
      for (const char* const* type = accept_types; *type != nullptr; ++type) {
        if (type != accept_types) request->accept_line += ", ";
        request->accept_line += *type;
      }
    }
    request->easy.reset(curl_easy_init());
    request->multi.reset(curl_multi_init());
    if (request->easy == nullptr || request->multi == nullptr) return nullptr;
    return request.release();
  } catch (...) {
    return nullptr;
  }
}

bool send_request(Request* request, const char* headers, int headers_length, const void* body,
                  int body_length) {
  if (request == nullptr) return false;
  try {
    if (body_length < 0 || (body == nullptr && body_length > 0)) {
      request->abandon();
      return false;
    }
    std::string_view block;
    if (headers != nullptr) {
      block = headers_length < 0
                  ? std::string_view(headers)
                  : std::string_view(headers, static_cast<std::size_t>(headers_length));
    }
    const std::string_view bytes(static_cast<const char*>(body),
                                 body == nullptr ? 0 : static_cast<std::size_t>(body_length));
    return request->send(block, bytes);
  } catch (...) {
    return false;
  }
}

bool read_file(Request* request, void* buffer, int to_read, int* bytes_read) {
  if (bytes_read == nullptr) return false;
  *bytes_read = 0;
  if (request == nullptr || (buffer == nullptr && to_read > 0)) return false;
  try {
    return request->read(static_cast<char*>(buffer), to_read, bytes_read);
  } catch (...) {
    *bytes_read = 0;
    return false;
  }
}

bool query_raw_headers(Request* request, char* buffer, std::uint32_t* length) {
  if (request == nullptr || length == nullptr) return false;
  return request->query_headers(buffer, length);
}

Failure last_failure(const Request* request) {
  return request == nullptr ? Failure::other : request->failure;
}

void close_handle(Session* handle) { delete handle; }
void close_handle(Connection* handle) { delete handle; }
void close_handle(Request* handle) { delete handle; }

}  // namespace tessevin::platform::inet
