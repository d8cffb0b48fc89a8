// The program's resources: dialog templates 102 (main window) and 100
// (about box), string 101 and icon 128.
#pragma once

#include "framework/dialog_template.h"

const DialogTemplate& MainDialogTemplate();   // 102
const DialogTemplate& AboutDialogTemplate();  // 100
// Registers string 101 and icon 128 with the framework; safe to call again.
void RegisterProgramResources();
