// The skin file format (".she"), read by the skin engine. Plain text, one setting a
// line; our own format, version 1.
//
//   .SHE 1
//   # A flat, light look.
//   window         = #F4F6F9
//   text           = #1B1B1B
//   ...
//   radius         = 2
//   font_size      = 9
//
// Rules:
// - The file begins with the four bytes ".SHE"; its first line is ".SHE 1" (the
//   magic and the format version).
// - Lines end with LF; a CR before the LF is dropped. The last line may lack its LF.
// - A line that is empty, holds only spaces and tabs, or whose first other character
//   is '#' is a comment.
// - Every other line is "key = value"; spaces and tabs around key and value are
//   dropped. Every key below must appear exactly once; an unknown key is an error
//   (a misspelt key would otherwise pass unnoticed).
// - A colour is '#' and six hexadecimal digits (RRGGBB, either case).
// - A number is decimal digits only, within its range.
// Anything else makes the whole file "not a skin", and nothing of it is used.
//
// Keys:
//   window          background of windows and frames (also the button face that
//                   hand-drawn controls fill with)
//   text            text of windows and controls
//   base            background of edit fields and lists
//   button          push button face
//   button_hover    push button face under the mouse
//   button_pressed  push button face while pressed
//   highlight       selection, and the border of the control that has the focus
//   highlight_text  text on a selection
//   border          one-pixel borders of buttons, fields, lists and frames
//   tint            the colour that SkinH_AdjustAero blends into the window background
//   radius          corner radius of buttons, fields and frames, 0..12 pixels
//   font_size       point size of the application font, 6..24
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessevin::skin {

// Colours are 0xRRGGBB.
struct Skin {
  std::uint32_t window = 0;
  std::uint32_t text = 0;
  std::uint32_t base = 0;
  std::uint32_t button = 0;
  std::uint32_t button_hover = 0;
  std::uint32_t button_pressed = 0;
  std::uint32_t highlight = 0;
  std::uint32_t highlight_text = 0;
  std::uint32_t border = 0;
  std::uint32_t tint = 0;
  int radius = 0;
  int font_size = 0;
};

inline constexpr int max_radius = 12;
inline constexpr int min_font_size = 6;
inline constexpr int max_font_size = 24;
// A skin is a few hundred bytes; anything far larger is not one.
inline constexpr std::size_t max_skin_file_size = 64 * 1024;

// The skin the file describes, or nothing when it is not a skin by the rules above.
[[nodiscard]] std::optional<Skin> parse_skin(std::string_view file);

}  // namespace tessevin::skin
