#pragma once

#include <array>
#include <string_view>
#include <variant>

#include "window/Form1.h"

// The window's controls, one row each: everything the window builds a control
// from. Positions and sizes are in twips (15 twips make one pixel at 96 dpi).
namespace ControlTable {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 8040;
inline constexpr int kClientHeight = 8220;

constexpr int pixels(int twips)
{
    return (twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel); // rounded
}

// Where the window keeps the control; its type says what kind of control it is.
using Member = std::variant<QGroupBox * Form1::*, RichTextBox * Form1::*, QRadioButton * Form1::*,
                            QPushButton * Form1::*>;
using Handler = void (Form1::*)();

struct Control
{
    std::string_view name;
    Member member;
    std::string_view container; // "Form1" or the frame that holds it
    // The caption; a pane has none and this is what screen readers call it.
    std::string_view label;
    int left, top, width, height;
    int tabIndex;  // frames take no focus
    double points; // Arial bold
    Handler click; // nullptr: none
    Handler mouseMove;
};

// In the order the window creates them: a later control lies above an earlier one.
inline constexpr std::array<Control, 17> kControls{{
    {"Frame3", &Form1::Frame3, "Form1", "CSV File #2", 4080, 120, 3840, 4815, 14, 9, nullptr,
     &Form1::Frame3_MouseMove},
    {"RichTextBox4", &Form1::RichTextBox4, "Frame3", "CSV File #2: lines with differences", 240,
     300, 3360, 1215, 16, 9, nullptr, &Form1::RichTextBox4_MouseMove},
    {"RichTextBox2", &Form1::RichTextBox2, "Frame3", "CSV File #2: all lines", 240, 300, 3360, 4335,
     1, 9, nullptr, &Form1::RichTextBox2_MouseMove},
    {"Frame1", &Form1::Frame1, "Form1", "CSV File #1", 120, 120, 3840, 4815, 13, 9, nullptr,
     &Form1::Frame1_MouseMove},
    {"RichTextBox3", &Form1::RichTextBox3, "Frame1", "CSV File #1: lines with differences", 240,
     300, 3360, 1215, 15, 9, nullptr, &Form1::RichTextBox3_MouseMove},
    {"RichTextBox1", &Form1::RichTextBox1, "Frame1", "CSV File #1: all lines", 240, 300, 3360, 4335,
     0, 9, nullptr, &Form1::RichTextBox1_MouseMove},
    {"Frame2", &Form1::Frame2, "Form1", "Display Options (Use after clicking Start buttons)", 120,
     7050, 7800, 1065, 9, 9, nullptr, &Form1::Frame2_MouseMove},
    {"Option2", &Form1::Option2, "Frame2", "Display only the lines with differences", 240, 300,
     5655, 255, 11, 9, &Form1::Option2_Click, &Form1::Option2_MouseMove},
    {"Option1", &Form1::Option1, "Frame2",
     "Display all lines but highlight the lines with differences", 240, 650, 7455, 255, 12, 9,
     &Form1::Option1_Click, &Form1::Option1_MouseMove},
    {"PushButton3", &Form1::PushButton3, "Form1", "Load CSV File #1", 120, 5050, 3840, 405, 2,
     11.25, &Form1::PushButton3_Click, &Form1::PushButton3_MouseMove},
    {"PushButton2", &Form1::PushButton2, "Form1", "Save Results #1", 120, 5560, 3840, 405, 4, 11.25,
     &Form1::PushButton2_Click, &Form1::PushButton2_MouseMove},
    {"PushButton4", &Form1::PushButton4, "Form1", "Load CSV File #2", 4080, 5050, 3840, 405, 3,
     11.25, &Form1::PushButton4_Click, &Form1::PushButton4_MouseMove},
    {"PushButton5", &Form1::PushButton5, "Form1", "Save Results #2", 4080, 5560, 3840, 405, 5,
     11.25, &Form1::PushButton5_Click, &Form1::PushButton5_MouseMove},
    {"PushButton1", &Form1::PushButton1, "Form1", "Find Differences (Lines)", 120, 6580, 3840, 405,
     8, 11.25, &Form1::PushButton1_Click, &Form1::PushButton1_MouseMove},
    {"PushButton6", &Form1::PushButton6, "Form1", "Find Differences (Words)", 4080, 6580, 3840, 405,
     10, 11.25, &Form1::PushButton6_Click, &Form1::PushButton6_MouseMove},
    {"PushButton7", &Form1::PushButton7, "Form1", "Clear Text Above", 120, 6070, 3840, 405, 6,
     11.25, &Form1::PushButton7_Click, &Form1::PushButton7_MouseMove},
    {"PushButton9", &Form1::PushButton9, "Form1", "Load Sample/Example Files", 4080, 6070, 3840,
     405, 7, 11.25, &Form1::PushButton9_Click, &Form1::PushButton9_MouseMove},
}};

} // namespace ControlTable
