#include "cli/lookup_command.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "query/query.h"
#include "query/region_table.h"
#include "text/convert.h"

#ifndef TESSEVIN_VERSION
#error "TESSEVIN_VERSION is set by the build"
#endif

namespace tessevin::cli {

namespace {

constexpr std::string_view program_name = "tessevin-lookup";

// The window's own captions of the three figures, code page 936 (the level's caption
// without the "  级" the window draws the figure into).
constexpr const char* caption_level =
    "\xD5\xD9\xBB\xBD\xCA\xA6\xB5\xC8\xBC\xB6\xA3\xBA";  // 召唤师等级：
constexpr const char* caption_combat_power =
    "\xB8\xF6\xC8\xCB\xD5\xBD\xB6\xB7\xC1\xA6\xA3\xBA";  // 个人战斗力：
constexpr const char* caption_hidden_score =
    "\xD2\xFE\xB2\xD8\xB7\xD6\xCA\xFD\xA3\xBA";  // 隐藏分数：

constexpr std::string_view usage_line = "usage: tessevin-lookup [--host HOST] [--json] SERVER NAME";
constexpr std::string_view server_forms =
    "SERVER is a region-list entry such as 艾欧尼亚, a server name such as 电信一, or a "
    "list position from 0 to 28 other than the group headings 0, 20 and 27";

void write(std::FILE* stream, std::string_view bytes) {
  (void)std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

void write_line(std::FILE* stream, std::string_view bytes) {
  write(stream, bytes);
  write(stream, "\n");
}

// Code page 936 to the terminal's UTF-8.
std::string to_terminal(const Text& gbk) { return ansi_to_utf8(gbk).str(); }
Text from_terminal(std::string_view utf8) { return utf8_to_ansi(Text(utf8)); }

std::string help_text() {
  return std::string(usage_line) +
         "\n"
         "Looks up one summoner on the statistics service, the same way the Tessevin window\n"
         "does, and prints the summoner level, combat power and hidden score.\n"
         "\n"
         "  SERVER       a region-list entry (艾欧尼亚), a server name (电信一) or a list\n"
         "               position, 0 to 28 (the group headings 0, 20 and 27 name no server)\n"
         "  NAME         the summoner name; put -- before a name that begins with '-'\n"
         "  --host HOST  the statistics service's host[:port] (default: " +
         to_terminal(default_stats_host()) +
         ")\n"
         "  --json       print one JSON object with the keys level, combat_power and\n"
         "               hidden_score (strings, exactly as the page has them)\n"
         "  --help       print this help and stop\n"
         "  --version    print the version and stop\n"
         "\n"
         "Arguments and output are UTF-8.\n"
         "Exit status: 0 the figures were printed (empty where the page lacks them),\n"
         "1 the service knows no such player, 2 the arguments were not understood,\n"
         "3 no answer from the service.\n";
}

int usage_error(std::FILE* err, std::string_view what) {
  write_line(err, std::string(program_name) + ": " + std::string(what));
  return status_usage;
}

// The list position SERVER names: its decimal digits, or an item text or server name
// of the table (code page 936). A heading's position is answered too; the caller
// turns it away.
std::optional<int> region_position(std::string_view argument, const Text& gbk) {
  if (!argument.empty() &&
      std::all_of(argument.begin(), argument.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    int position = 0;
    const std::from_chars_result parsed =
        std::from_chars(argument.data(), argument.data() + argument.size(), position);
    if (parsed.ec != std::errc() || position >= region_count) return std::nullopt;
    return position;
  }
  for (int position = 0; position < region_count; ++position) {
    const Region& region = region_table[static_cast<std::size_t>(position)];
    if (text_equal(gbk, region.item_text) ||
        (region.server_name != nullptr && text_equal(gbk, region.server_name))) {
      return position;
    }
  }
  return std::nullopt;
}

// Figures as they came, with JSON's few escapes.
std::string json_string(const Text& gbk) {
  std::string quoted = "\"";
  for (const char c : to_terminal(gbk)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted.append({'\\', c});
    } else if (byte < 0x20) {
      constexpr char hex[] = "0123456789abcdef";
      quoted.append("\\u00").append({hex[byte >> 4], hex[byte & 0xF]});
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "\"";
}

void print_figures(std::FILE* out, const PlayerSummary& summary, bool json) {
  if (json) {
    write_line(out, "{\"level\":" + json_string(summary.level) +
                        ",\"combat_power\":" + json_string(summary.combat_power) +
                        ",\"hidden_score\":" + json_string(summary.hidden_score) + "}");
    return;
  }
  write_line(out, to_terminal(concat_text(caption_level, summary.level)));
  write_line(out, to_terminal(concat_text(caption_combat_power, summary.combat_power)));
  write_line(out, to_terminal(concat_text(caption_hidden_score, summary.hidden_score)));
}

}  // namespace

int run_lookup_command(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
  std::optional<std::string_view> host;
  bool json = false;
  std::vector<std::string_view> operands;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (options_ended || argument.size() < 2 || argument[0] != '-') {
      operands.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help") {
      write(out, help_text());
      return status_figures;
    } else if (argument == "--version") {
      write_line(out, std::string(program_name) + " " + TESSEVIN_VERSION);
      return status_figures;
    } else if (argument == "--json") {
      json = true;
    } else if (argument == "--host" || argument.starts_with("--host=")) {
      if (argument == "--host") {
        if (i + 1 == argc)
          return usage_error(err, "--host needs a value; " + std::string(usage_line));
        host = argv[++i];
      } else {
        host = argument.substr(7);
      }
      if (host->empty())
        return usage_error(err, "--host needs a value; " + std::string(usage_line));
    } else {
      return usage_error(
          err, "unknown option " + std::string(argument) + "; " + std::string(usage_line));
    }
  }
  if (operands.size() != 2) {
    return usage_error(err, std::string(operands.size() < 2 ? "too few" : "too many") +
                                " arguments; " + std::string(usage_line));
  }

  const std::string_view server = operands[0];
  const std::optional<int> position = region_position(server, from_terminal(server));
  if (!position) {
    return usage_error(err,
                       "no server \"" + std::string(server) + "\": " + std::string(server_forms));
  }
  if (region_table[static_cast<std::size_t>(*position)].server_name == nullptr) {
    return usage_error(err, "\"" + std::string(server) + "\" is a group heading, not a server: " +
                                std::string(server_forms));
  }

  // From here on, the Query button's road.
  const Text stats_host = host ? from_terminal(*host) : default_stats_host();
  bool answered = false;
  const PlayerPage page =
      look_up_player(stats_host, server_name_for(*position), from_terminal(operands[1]), &answered);
  if (!answered) {
    write_line(err, std::string(program_name) + ": no answer from the statistics service at " +
                        to_terminal(stats_host));
    return status_no_answer;
  }
  if (page.no_data) {
    write_line(err, to_terminal(message_no_player));
    return status_no_data;
  }
  print_figures(out, page.summary, json);
  return status_figures;
}

}  // namespace tessevin::cli
