// Our own small HTTP layer, in the shape of the Windows Internet calls that the web
// request routine was designed around: a session, a connection and a request
// handle; send, read the body in chunks, read the raw response headers, close.
// Built on libcurl; nothing of curl shows through this header.
//
// A typical call sequence, which is exactly the web request routine's:
//   Session* s = open_session(agent, access_direct, nullptr, nullptr, 0);
//   Connection* c = connect(s, host, port, nullptr, nullptr, service_http, 0, 0);
//   Request* r = open_request(c, "GET", "/path?q=1", "HTTP/1.1", nullptr, nullptr, flags, 0);
//   send_request(r, header_block, length, nullptr, 0);
//   while (read_file(r, buffer, 1024, &count) && count != 0) ...
//   query_raw_headers(r, headers, &length);
//   close_handle(r); close_handle(c); close_handle(s);
//
// Contract, kept on purpose close to the original calls:
// - A null handle is the only failure answer of the open calls. Opening a
//   connection does not touch the network; an unreachable host shows at
//   send_request (false), after which read_file delivers 0 and the header query
//   fails.
// - Every call answers failure (null, false, a count of 0) instead of throwing or
//   aborting, also on allocation or library failure.
// - A child handle takes a copy of its parent's settings when it is opened, so
//   handles may be closed in any order; each is freed by its own close_handle.
// - Handles are not shared between threads; different handles may be used on
//   different threads at once (the cookie store is shared and locked).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessevin::platform::inet {

struct Session;
struct Connection;
struct Request;

// Access types of open_session.
inline constexpr int access_direct = 1;  // INTERNET_OPEN_TYPE_DIRECT
inline constexpr int access_proxy = 3;   // INTERNET_OPEN_TYPE_PROXY
// The one service of connect.
inline constexpr int service_http = 3;  // INTERNET_SERVICE_HTTP

// Request flags of open_request (the Windows values).
// Always fetch from the server: nothing here caches, so it needs nothing.
inline constexpr std::uint32_t flag_reload = 0x80000000;  // INTERNET_FLAG_RELOAD
// Keep a file of the download: nothing here caches, so it needs nothing either.
inline constexpr std::uint32_t flag_need_file = 0x10;  // INTERNET_FLAG_NEED_FILE
// The process-wide cookie store is neither read nor written for this request.
inline constexpr std::uint32_t flag_no_cookies = 0x80000;  // INTERNET_FLAG_NO_COOKIES
// A redirect response is returned as it is (status, headers, body) instead of followed.
inline constexpr std::uint32_t flag_no_auto_redirect = 0x200000;  // INTERNET_FLAG_NO_AUTO_REDIRECT
// https: TLS with the server's certificate and name verified.
inline constexpr std::uint32_t flag_secure = 0x800000;  // INTERNET_FLAG_SECURE
// Allows redirects from http to https; they are always allowed here, so it needs nothing.
inline constexpr std::uint32_t flag_ignore_redirect_to_https =
    0x4000;  // ..._IGNORE_REDIRECT_TO_HTTPS

// Redirects followed for one request before the next redirect response is
// returned as the final response.
inline constexpr int max_redirects = 10;

// The ways a request can fail, for diagnostics and tests; the original calls only
// ever answer false or 0.
enum class Failure {
  none,             // no failure (yet)
  not_sent,         // send_request has not been called, or was refused its arguments
  bad_address,      // host or port that cannot form an address
  cannot_resolve,   // the host (or the proxy) name has no address
  cannot_connect,   // refused or unreachable
  tls,              // handshake or certificate failure
  timed_out,        // connect, send or receive time-out
  connection_lost,  // closed or reset before the response was whole
  bad_response,     // something that is not an HTTP response
  other,            // internal or library failure
};

// agent: the User-Agent sent with every request (null or empty: none).
// access_type: access_direct, or access_proxy with proxy_list as Windows writes it:
//   entries separated by spaces or ';', each "[scheme=][http://]host[:port]" (port 80
//   when left out). "http=host:port" sends plain-http requests through that HTTP
//   proxy, which then sees absolute addresses; https requests go direct unless an
//   entry names https or no scheme. An entry with nothing after "=" means direct.
// bypass_list: hosts reached directly even in proxy mode, separated by spaces, ';'
//   or ','; "*" matches any run of characters, "<local>" any host without a dot.
// flags: no session flag is supported; anything other than 0 is refused.
[[nodiscard]] Session* open_session(const char* agent, int access_type, const char* proxy_list,
                                    const char* bypass_list, std::uint32_t flags);

// Time-outs for the session's future connections, in milliseconds: connect (name
// lookup, TCP and TLS), send (no byte of the request body accepted for that long)
// and receive (no byte of the response for that long). Defaults: 60 s, 30 s, 30 s.
// A value of 0 or less leaves that time-out as it was. The program itself never
// calls this; tests shorten the waits with it.
void set_timeouts(Session* session, int connect_ms, int send_ms, int receive_ms);

// The time-outs that sessions opened from now on start with, same units and rules as
// set_timeouts; sessions already open keep theirs. For tests, which reach the layer
// only through the web request routine (it opens a session of its own for every
// call): the program itself never calls this. Safe to call from any thread.
void set_default_timeouts(int connect_ms, int send_ms, int receive_ms);

// Names the server; does not touch the network. A null or empty host is refused
// (null handle), as the original call refuses it; any other host or port that
// cannot form an address is accepted here and fails at send_request, as a name
// that does not resolve would. port 0 means the scheme's default (80, or 443 with
// flag_secure).
// No credentials are supported: user and password must be null. service must be
// service_http; flags and context are not used.
[[nodiscard]] Connection* connect(Session* session, const char* host, int port, const char* user,
                                  const char* password, int service, std::uint32_t flags,
                                  std::uintptr_t context);

// verb: "GET" when null. object_path: the request target, sent with every space,
// control byte, byte of 0x80 or more and '#' percent-escaped (so the target on the
// wire is always well-formed) and otherwise as given; "/" is put in front when it
// does not begin with one. version: "HTTP/1.0" or (null, anything else) "HTTP/1.1".
// referrer: a Referer line (null: none). accept_types: a null-terminated list joined
// into one Accept line, unless the header block brings its own (null: no Accept
// line at all). flags: any of the flag_ constants. context is not used.
[[nodiscard]] Request* open_request(Connection* connection, const char* verb,
                                    const char* object_path, const char* version,
                                    const char* referrer, const char* const* accept_types,
                                    std::uint32_t flags, std::uintptr_t context);

// Sends the request and returns once the final response's status line and headers
// have arrived: true then, false when no final response came (nothing to read
// after that). headers: lines separated by CR LF, headers_length bytes of them (-1:
// up to the zero byte). Every lone CR or LF also ends a line; empty lines, lines
// without a colon or with a malformed name, and lines holding other control bytes
// are left out; the others are sent as they are, in their order, after the request
// line, Host and User-Agent. A line of the block replaces the layer's own line of
// that name (User-Agent, Accept). Nothing else is added for a GET; a body (any
// body_length > 0, and always for "POST") adds a Content-Length line, and never an
// "Expect: 100-continue". The body is copied; the caller's bytes may go at once.
[[nodiscard]] bool send_request(Request* request, const char* headers, int headers_length,
                                const void* body, int body_length);

// Delivers the next at most to_read bytes of the response body into buffer and
// their count into *bytes_read. A count of 0 means the body has ended: the answer
// is then true after a whole body and false after a failure (connection lost,
// receive time-out, no response). A body cut off midway gives what arrived first.
// At most a small fixed amount of the body is held here at any time.
[[nodiscard]] bool read_file(Request* request, void* buffer, int to_read, int* bytes_read);

// The final response's status line and header lines, each ending in CR LF, then
// one more CR LF: the block as a server sent it, with LF-only line ends made CR LF.
// Earlier responses (redirects followed, 100 Continue) never show here.
// On success buffer holds the block and a zero byte after it, *length its size
// without the zero byte. When the block and its zero byte do not fit in *length
// bytes (buffer may be null then), the answer is false and *length becomes the
// size needed, zero byte included: measure, then read. False without touching
// *length when no final response's header block was received whole (whenever
// send_request answered false).
[[nodiscard]] bool query_raw_headers(Request* request, char* buffer, std::uint32_t* length);

// Why the last send_request or read_file of this request ended as it did.
[[nodiscard]] Failure last_failure(const Request* request);

// Frees the handle; a transfer still running is abandoned. Null is a no-op.
void close_handle(Session* handle);
void close_handle(Connection* handle);
void close_handle(Request* handle);
inline void close_handle(std::nullptr_t) {}

}  // namespace tessevin::platform::inet
