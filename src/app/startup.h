// The program's whole life: deploy and attach the skin, build the main window, adjust
// the skin, show the window, run the event loop until the window is closed, release
// the engine.
//
// Test seams (environment variables), so tests can run the real program as a child
// process without a person:
//   TESSEVIN_TEST_QUIT_AFTER_SHOW=1      the event loop ends right after the window
//                                        is shown, as if it had been closed
//   TESSEVIN_TEST_QUIT_AFTER_SHOW=stdin  the event loop ends when standard input
//                                        reaches its end (the test closes its pipe)
// With either, the program writes the line "window|shown" to standard error once
// the window is shown (beside the "box|..." lines of TESSEVIN_TEST_BOXES=stderr, see
// message_box.h), so a test sees whether, and when, the window appeared.
#pragma once

namespace tessevin::app {

// Runs the program; answers 0, the process exit code after the window was closed.
// A fatal error ends the process with status 255 instead of returning.
int start_program(int argc, char** argv);

}  // namespace tessevin::app
