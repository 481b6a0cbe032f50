// The program's message boxes: OK only, modal for the application's windows. Texts
// are shown as plain text, never read as markup.
//
// Tests answer boxes through a hook instead of a person: in-process with
// set_box_hook(), and in a child process by setting TESSEVIN_TEST_BOXES=stderr, which
// writes each box as one line "box|CAPTION|TEXT" (UTF-8, line breaks as \n) to
// standard error instead of showing it.
#pragma once

#include <functional>

#include "text/text.h"

namespace tessevin::app {

enum class BoxIcon { none, error };

void show_box(const Text& caption, const Text& text, BoxIcon icon);

using BoxHook = std::function<void(const Text& caption, const Text& text, BoxIcon icon)>;
// Replaces showing with a call of `hook` (an empty hook shows boxes again).
void set_box_hook(BoxHook hook);

}  // namespace tessevin::app
