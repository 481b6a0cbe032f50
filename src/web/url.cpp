#include "web/url.h"

#include "text/extract.h"

namespace tessevin {

namespace {

// The first "/", "?" or "#" at or after `from` (1-based), or -1: where a host ends.
int host_end(const Text& h, int from) {
  int end = -1;
  for (const char* stop : {"/", "?", "#"}) {
    const int at = find_text(h, stop, from);
    if (at != -1 && (end == -1 || at < end)) end = at;
  }
  return end;
}

// Where the host begins in the lower-cased address `h`: just after a leading
// "https://", else just after the first "http://"; -1 when neither is there.
int host_start(const Text& h) {
  if (text_equal(text_left(h, 8), "https://")) return 9;
  const int at = find_text(h, "http://");
  return at == -1 ? -1 : at + 7;
}

Text drop_port(const Text& h, bool keep_port) {
  const int colon = find_text(h, ":");
  if (keep_port || colon == -1) return h;
  return text_left(h, colon - 1);
}

Text standard_host(const Text& address, bool registered_domain, bool keep_port) {
  Text h = to_lower(address);
  if (!text_equal(text_right(h, 1), "/")) h.append("/");
  if (!text_equal(text_left(h, 8), "https://") && find_text(h, "http://") == -1) {
    h = concat_text("http://", h);
  }
  const int begin = host_start(h);
  const int end = host_end(h, begin);
  h = (begin == -1 || end == -1) ? Text() : text_mid(h, begin, end - begin);
  if (registered_domain) {
    const TextList labels = split_text(h, ".");
    if (labels.count() > 1) {
      // A port stays attached to the last label.
      h = concat_text(labels.at(labels.count() - 1), ".", labels.at(labels.count()));
    }
  }
  return drop_port(h, keep_port);
}

Text counted_host(const Text& address, bool registered_domain, bool keep_port, int label_count) {
  Text h = to_lower(address);
  h = replace_text(h, "http://", "", {}, {}, true);
  h = replace_text(h, "https://", "", {}, {}, true);
  const int end = host_end(h, 1);
  if (end != -1) h = text_left(h, end - 1);
  const int length = text_length(h);
  int s = length;
  for (int i = 0; i < label_count; ++i) s = find_text_reverse(h, ".", s);
  const int d = find_text_reverse(h, ".", s);
  if (registered_domain) {
    h = text_right(h, length - d);
  } else if (d != -1) {
    const int e = find_text_reverse(h, ".", d);
    if (e != -1) h = text_right(h, length - e);
  }
  return drop_port(h, keep_port);
}

}  // namespace

Text url_host(const Text& address, bool registered_domain, bool keep_port,
              std::optional<int> label_count) {
  if (label_count) return counted_host(address, registered_domain, keep_port, *label_count);
  return standard_host(address, registered_domain, keep_port);
}

int url_port(const Text& address) {
  const Text host_and_port = url_host(address, false, true);
  const int colon = find_text_reverse(host_and_port, ":");
  if (colon != -1) return to_int(text_right(host_and_port, text_length(host_and_port) - colon));
  return text_equal(to_lower(text_left(address, 5)), "https") ? 443 : 80;
}

Text url_object(const Text& address) {
  const Text host = url_host(address);
  // The host is looked for after the scheme, so a host whose name also occurs in
  // "http://" (a host "t", say) is not found inside the scheme.
  const int scheme_end = host_start(to_lower(address));
  const int a = find_text(address, host, scheme_end == -1 ? 1 : scheme_end, true);
  const int b = host_end(address, a == -1 ? 1 : a + text_length(host));
  if (b <= 0) return "/";
  const Text rest = text_right(address, text_length(address) - b + 1);
  return text_equal(text_left(rest, 1), "/") ? rest : concat_text("/", rest);
}

Text header_value(const Text& line) {
  const int colon = find_text(line, ":");
  if (colon == -1) return Text();
  return trim_both(text_right(line, text_length(line) - colon));
}

}  // namespace tessevin
