// Tessevin's skin engine: a shared library that the program carries inside itself,
// writes out as "jedata.dll" at every start and binds by name. It runs in the
// program's process and styles the running QApplication with Qt's own means (the
// Fusion style, the application palette and font, and a style sheet), so everything
// the program shows, message boxes included, wears the skin.
//
// The two functions use C names and plain C types so they can be found with
// dlsym and called through a function pointer. Both answer 0 when done. Call them on
// the thread that runs the QApplication.
//
// The engine holds no Qt object and no string of its own in Qt's hands, only plain
// values, so the program may unload it again while the application lives on.
#pragma once

#define TESSEVIN_SKIN_EXPORT extern "C" __attribute__((visibility("default")))

// Reads the skin file at `skin_path` (a local path; the format is described in
// skin_file.h) and applies it to the whole application: the Fusion style, a palette
// and font from the file, and a style sheet for push buttons, edit fields, combo boxes
// and group frames built from its colours and corner radius. Attach before the first
// window is created so every window is built with the skin. Attaching again replaces
// the skin and drops the adjustments of SkinH_AdjustAero.
//
// `password` is accepted for the call's shape and not used: our skins are plain text.
// It may be empty or null.
//
// Answers (on any answer but 0 nothing has changed):
//   0  the skin is applied
//   1  there is no QApplication to style
//   2  the file is missing or cannot be read (or is larger than any skin)
//   3  the file is not a skin: it does not begin with ".SHE" or breaks a rule
TESSEVIN_SKIN_EXPORT int SkinH_AttachEx(const char* skin_path, const char* password);

// Adjusts the attached skin; each value is first clamped into its range, so any int
// (INT_MIN and INT_MAX included) is safe.
//   tint     0..255  strength of the skin's tint colour blended into the window
//                    background: 0 leaves it as the file says, 255 is the tint itself
//   shade    reserved, ignored
//   sharp    reserved, ignored
//   radius   0..12   corner radius in pixels of buttons, fields and frames, in place
//                    of the file's radius
//   reserved4 .. reserved8: ignored
// The program calls it once, with 210, 0, 0, 3, 0, 0, 0, 0, 0, after its window and
// every control exist and before the window is shown: a light tint and softly rounded
// corners.
//
// Answers 0 when applied, 1 when no skin is attached (nothing changes).
TESSEVIN_SKIN_EXPORT int SkinH_AdjustAero(int tint, int shade, int sharp, int radius, int reserved4,
                                          int reserved5, int reserved6, int reserved7,
                                          int reserved8);
