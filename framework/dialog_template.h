// A dialog template: the window and its controls in dialog units, as the
// program's resource script would describe them.
#pragma once

#include <string>
#include <vector>

#include "framework/afx_types.h"

enum class ControlClass {
    Button,    // push button
    CheckBox,  // automatic check box
    GroupBox,
    Edit,
    Static,    // text label
    Picture,   // static showing a bitmap
    Icon,      // static showing an icon
    ListView,  // report view
    Progress,
};

// Style flags. Own bit values: each flag means one thing whatever the class.
enum : DWORD {
    WS_VISIBLE = 1u << 0,
    WS_DISABLED = 1u << 1,
    WS_TABSTOP = 1u << 2,
    WS_BORDER = 1u << 3,
    WS_VSCROLL = 1u << 4,
    WS_HSCROLL = 1u << 5,
    WS_GROUP = 1u << 6,
    BS_DEFPUSHBUTTON = 1u << 8,
    ES_MULTILINE = 1u << 9,
    ES_AUTOHSCROLL = 1u << 10,
    ES_AUTOVSCROLL = 1u << 11,
    ES_WANTRETURN = 1u << 12,
    ES_READONLY = 1u << 13,
    SS_LEFT = 1u << 14,
    SS_CENTER = 1u << 15,
    LVS_REPORT = 1u << 16,
    LVS_SINGLESEL = 1u << 17,
    LVS_SHOWSELALWAYS = 1u << 18,
    PBS_SMOOTH = 1u << 19,
    // Window styles of the dialog itself.
    WS_POPUP = 1u << 24,
    WS_CAPTION = 1u << 25,
    WS_SYSMENU = 1u << 26,
    DS_MODALFRAME = 1u << 27,
    WS_EX_APPWINDOW = 1u << 28,
};

struct DialogControl {
    int id;
    ControlClass cls;
    std::string text;
    int x, y, cx, cy;  // dialog units
    DWORD style;
    // What assistive technology announces for a control whose own text does
    // not name it (edits, the list, the picture); blank: the visible text.
    std::string accessibleName;
};

struct DialogTemplate {
    int id;
    int cx, cy;  // dialog units
    DWORD style;
    std::string title;
    std::string fontFace;
    int pointSize;
    std::vector<DialogControl> controls;
    // Where the window goes, in dialog units: from the owner's top-left
    // corner, or from the screen's when it has none.
    int x = 0;
    int y = 0;
};
