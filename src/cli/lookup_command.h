// tessevin-lookup: the lookup behind the window's Query button, for scripts and
// terminals. It runs the very same road (look_up_player in query/query.h); this part
// only reads the arguments and writes the answer.
//
//   tessevin-lookup [--host HOST] [--json] SERVER NAME
//
// Arguments and output are UTF-8, converted to and from code page 936 through the
// same layer as the window.
#pragma once

#include <cstdio>

namespace tessevin::cli {

// Exit statuses of the program.
inline constexpr int status_figures = 0;    // the three figures were printed
inline constexpr int status_no_data = 1;    // the service knows no such player
inline constexpr int status_usage = 2;      // the arguments were not understood
inline constexpr int status_no_answer = 3;  // nothing came back from the service

// Runs the whole command: reads argv, looks the player up, writes the figures to
// `out` and every message to `err`; answers the exit status.
[[nodiscard]] int run_lookup_command(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err);

}  // namespace tessevin::cli
