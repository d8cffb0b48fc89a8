// The application: runs the main window modally and ends with it.
#pragma once

#include "framework/app.h"

class CMytallydeskApp : public CWinApp {
  public:
    BOOL InitInstance() override;
};
