#pragma once

#include <array>
#include <string_view>

#include <QtGlobal>

// The window's fixed design, in twips (15 twips make one pixel at 96 dpi).
namespace Layout {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 8040;
inline constexpr int kClientHeight = 8220;

constexpr int pixels(int twips)
{
    return (twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel); // rounded
}

struct Control
{
    std::string_view name;
    std::string_view container; // "Form1" or a frame
    int left, top, width, height;
    int tabIndex;
};

// In the order the window creates them.
inline constexpr std::array<Control, 17> kControls{{
    {"Frame3", "Form1", 4080, 120, 3840, 4815, 14},
    {"RichTextBox4", "Frame3", 240, 300, 3360, 1215, 16},
    {"RichTextBox2", "Frame3", 240, 300, 3360, 4335, 1},
    {"Frame1", "Form1", 120, 120, 3840, 4815, 13},
    {"RichTextBox3", "Frame1", 240, 300, 3360, 1215, 15},
    {"RichTextBox1", "Frame1", 240, 300, 3360, 4335, 0},
    {"Frame2", "Form1", 120, 7050, 7800, 1065, 9},
    {"Option2", "Frame2", 240, 300, 5655, 255, 11},
    {"Option1", "Frame2", 240, 650, 7455, 255, 12},
    {"PushButton3", "Form1", 120, 5050, 3840, 405, 2},
    {"PushButton2", "Form1", 120, 5560, 3840, 405, 4},
    {"PushButton4", "Form1", 4080, 5050, 3840, 405, 3},
    {"PushButton5", "Form1", 4080, 5560, 3840, 405, 5},
    {"PushButton1", "Form1", 120, 6580, 3840, 405, 8},
    {"PushButton6", "Form1", 4080, 6580, 3840, 405, 10},
    {"PushButton7", "Form1", 120, 6070, 3840, 405, 6},
    {"PushButton9", "Form1", 4080, 6070, 3840, 405, 7},
}};

} // namespace Layout
