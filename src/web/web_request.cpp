#include "web/web_request.h"

#include <cstdint>
#include <string>
#include <utility>

#include "platform/inet.h"
#include "text/extract.h"
#include "web/cookies.h"
#include "web/url.h"

namespace tessevin {

namespace inet = platform::inet;

namespace {

constexpr int read_chunk = 1024;
constexpr int header_buffer = 5000;

Text agent_for(const Text& extra_headers) {
  if (find_text(extra_headers, "User-Agent:", {}, true) == -1) return default_user_agent;
  // Detection ignores case but the cut does not, and a last line without a line break
  // is not cut either; both then fall back to the value after the block's first
  // colon. Kept on purpose: callers rely on the block being read this way.
  const Text agent = trim_both(extract_between(extra_headers, "User-Agent:", "\r\n"));
  return text_equal(agent, "") ? header_value(extra_headers) : agent;
}

void compose_header_block(Text& block, const Text& address, const Text& cookies) {
  if (find_text(block, "Referer:") == -1) {
    block = text_equal(block, "") ? concat_text("Referer: ", address)
                                  : concat_text(block, "\r\nReferer: ", address);
  }
  if (find_text(block, "Accept:") == -1) block.append("\r\nAccept: */*");
  if (find_text(block, "Accept-Language:") == -1) block.append("\r\nAccept-Language: zh-cn");
  if (find_text(block, "Content-Type:") == -1) {
    block.append("\r\nContent-Type: application/x-www-form-urlencoded");
  }
  if (!text_equal(cookies, "")) block.append("\r\nCookie: ").append(cookies);
}

std::uint32_t request_flags(const Text& address, bool cookies_given, bool no_redirect) {
  std::uint32_t flags = inet::flag_reload | inet::flag_need_file;
  if (cookies_given) flags |= inet::flag_no_cookies;
  if (no_redirect) flags |= inet::flag_no_auto_redirect;
  if (text_equal(to_lower(text_left(address, 5)), "https")) {
    flags |= inet::flag_secure;
  } else {
    flags |= inet::flag_ignore_redirect_to_https;
  }
  return flags;
}

// The header block whole, whatever its size: measured first when it does not fit the
// usual buffer. With no response at all the buffer stays as it was, 5000 spaces, and
// `answered` says so: the layer leaves the length alone only when no status line came.
Text read_raw_headers(inet::Request* request, bool& answered) {
  std::string buffer(header_buffer, ' ');
  std::uint32_t length = header_buffer;
  const bool fits = inet::query_raw_headers(request, buffer.data(), &length);
  answered = fits || length > header_buffer;
  if (!fits && length > header_buffer) {
    buffer.assign(length, ' ');
    if (!inet::query_raw_headers(request, buffer.data(), &length))
      buffer.assign(header_buffer, ' ');
  }
  return Text(std::move(buffer));  // ends at the zero byte the layer wrote
}

Bytes read_body(inet::Request* request) {
  Bytes body;
  char chunk[read_chunk];
  int count = 0;
  // The read's own answer is not looked at: a count of 0 ends the body either way.
  while ((void)inet::read_file(request, chunk, read_chunk, &count), count != 0) {
    body.append(std::string_view(chunk, static_cast<std::size_t>(count)));
  }
  return body;
}

}  // namespace

HeaderScan scan_headers(const Text& raw_headers) {
  HeaderScan scan;
  const TextList lines = split_text(raw_headers, "\r\n");
  Text received;
  for (int i = 1; i <= lines.count(); ++i) {
    const Text& line = lines.at(i);
    if (find_text(line, "Location:") != -1) scan.location = header_value(line);
    if (find_text(line, "Set-Cookie") != -1) {
      received.append(trim_both(extract_between(line, "Set-Cookie:", ";"))).append("; ");
    }
  }
  scan.received_cookies = text_left(received, text_length(received) - 2);
  return scan;
}

Bytes web_request(const Text& address, int method, const Text& post_text, Text* cookies,
                  Text* received_cookies, Text* extra_headers, Text* location_or_headers,
                  bool no_redirect, Bytes* post_bytes, const std::optional<Text>& proxy,
                  Text* raw_headers, bool* answered) {
  Text local_received, local_extra, local_location, local_raw;
  Bytes local_post;
  bool local_answered = false;
  Text& received = received_cookies ? *received_cookies : local_received;
  Text& block = extra_headers ? *extra_headers : local_extra;
  Text& location = location_or_headers ? *location_or_headers : local_location;
  Text& raw = raw_headers ? *raw_headers : local_raw;
  Bytes& body_bytes = post_bytes ? *post_bytes : local_post;
  bool& got_answer = answered ? *answered : local_answered;
  got_answer = false;

  const char* verb = method == 1 ? "POST" : "GET";
  const Text agent = agent_for(block);

  inet::Session* session =
      proxy ? inet::open_session(agent.c_str_or_null(), inet::access_proxy,
                                 concat_text("http=", *proxy).c_str_or_null(), "", 0)
            : inet::open_session(agent.c_str_or_null(), inet::access_direct, nullptr, nullptr, 0);
  if (session == nullptr) return Bytes();
  inet::Connection* connection =
      inet::connect(session, url_host(address).c_str_or_null(), url_port(address), nullptr, nullptr,
                    inet::service_http, 0, 0);
  if (connection == nullptr) {
    inet::close_handle(session);
    return Bytes();
  }
  inet::Request* request =
      inet::open_request(connection, verb, url_object(address).c_str_or_null(), "HTTP/1.1", nullptr,
                         nullptr, request_flags(address, cookies != nullptr, no_redirect), 0);
  if (request == nullptr) {
    inet::close_handle(connection);
    inet::close_handle(session);
    return Bytes();
  }

  compose_header_block(block, address, cookies ? *cookies : Text());
  // A failed send is not looked at: it shows as an empty body and missing headers.
  if (method == 0) {
    (void)inet::send_request(request, block.view().data(), text_length(block), nullptr, 0);
  } else {
    if (bytes_length(body_bytes) == 0) body_bytes = text_to_bytes(post_text);
    (void)inet::send_request(request, block.view().data(), text_length(block), body_bytes.data(),
                             bytes_length(body_bytes));
  }
  Bytes body = read_body(request);
  raw = read_raw_headers(request, got_answer);
  inet::close_handle(request);
  inet::close_handle(connection);
  inet::close_handle(session);

  HeaderScan scan = scan_headers(raw);
  // The caller's own value stays when no Location line came.
  if (scan.location) location = std::move(*scan.location);
  received = std::move(scan.received_cookies);
  if (cookies != nullptr) (void)merge_cookies(*cookies, received);
  if (text_equal(location, "")) location = raw;
  return body;
}

Text fetch_page(const Text& address, bool* answered) {
  return bytes_to_text(web_request(address, 0, Text(), nullptr, nullptr, nullptr, nullptr, false,
                                   nullptr, std::nullopt, nullptr, answered));
}

}  // namespace tessevin
