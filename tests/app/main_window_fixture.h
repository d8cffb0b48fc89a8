// A fresh main window per test, with every seam installed: scripted message
// boxes and file dialogs, a fixed clock (10 August 2014, 09:05:12), a
// temporary program folder holding the logo, and a stand-in machine.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/device_calls.h"
#include "app/main_dialog.h"
#include "framework/testing/scripted.h"

class FakeDevice : public DeviceCalls {
 public:
  int connects = 0;
  int disconnects = 0;
  int ConnectDov_Oz_Er() override {
    ++connects;
    return 0;
  }
  int DisConnectDov_Oz_Er() override {
    ++disconnects;
    return 1;
  }
  int GetDov_Oz_Er_State(int*, int*) override { return 0; }
  int GetDov_Oz_Er_Record(unsigned*, int*) override { return 0; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    std::filesystem::copy_file(TALLY_LOGO_FILE, location.Folder() + "NRV_LOGO.bmp");
  }

  // Runs the window modally; script runs once the modal loop is going. A
  // guard ends a window that a broken test would leave open.
  int RunModal(CMytallydeskDlg& dlg, std::function<void()> script) {
    QTimer::singleShot(0, [&dlg, script] {
      scriptRan = true;
      if (script) script();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&dlg] {
      ADD_FAILURE() << "window still open";
      dlg.EndDialog(-99);
    });
    guard.start(20000);
    return dlg.DoModal();
  }

  std::string Settings() const { return location.Read("tallydesk.ini").value_or("<none>"); }

  static inline bool scriptRan = false;
  ScriptedDialogs dialogs;
  TempProgramLocation location{"tallydesk"};
  FixedClock clock{2014, 8, 10, 9, 5, 12};
  FakeDevice device;
  ScopedSeam<MessageBoxService> boxes{&dialogs};
  ScopedSeam<FileDialogService> files{&dialogs};
  ScopedSeam<ProgramLocation> where{&location};
  ScopedSeam<Clock> now{&clock};
  ScopedSeam<DeviceCalls> machine{&device};
};
