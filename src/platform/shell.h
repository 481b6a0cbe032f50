// Handing a web address to the desktop's default browser (through xdg-open).
#pragma once

namespace tessevin::platform::shell {

// Opens `address` (code page 936 bytes) with the desktop's default handler. An
// address without a scheme is opened as "http://" + address, the way "www."
// addresses have always been taken. Failures (no browser, a rejected address) are
// silent; nothing waits for the browser.
void open_address(const char* address);

}  // namespace tessevin::platform::shell
