// A fresh main window per test, with every seam installed: scripted message
// boxes and file dialogs, a fixed clock (10 August 2014, 09:05:12), a
// temporary program folder holding the logo, and a stand-in machine.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/device_calls.h"
#include "app/main_dialog.h"
#include "framework/testing/scripted.h"

// The machine as the window sees it through the four calls.
class FakeDevice : public DeviceCalls {
  public:
    int connectResult = 0;  // what ConnectDov_Oz_Er answers
    // GetDov_Oz_Er_State: on success the two counters it hands over.
    int stateResult = 0;
    int cardSum = 0;
    int recordCount = 0;
    // Each GetDov_Oz_Er_Record call takes the next batch; with none left the
    // call fails (0) and leaves its arguments alone. At most 20000 values are
    // copied (the buffer's size) while the count says the batch's full size,
    // so a test can hand over more than the buffer holds.
    std::deque<std::vector<int>> batches;

    int connects = 0;
    int disconnects = 0;
    int stateCalls = 0;
    int recordCalls = 0;

    int ConnectDov_Oz_Er() override {
        ++connects;
        return connectResult;
    }
    int DisConnectDov_Oz_Er() override {
        ++disconnects;
        return 1;
    }
    int GetDov_Oz_Er_State(int* sum, int* count) override {
        ++stateCalls;
        if (!stateResult) return 0;
        *sum = cardSum;
        *count = recordCount;
        return stateResult;
    }
    int GetDov_Oz_Er_Record(unsigned* count, int* values) override {
        ++recordCalls;
        if (batches.empty()) return 0;
        const std::vector<int> batch = batches.front();
        batches.pop_front();
        const size_t copied = std::min<size_t>(batch.size(), 20000);
        std::copy(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(copied), values);
        *count = static_cast<unsigned>(batch.size());
        return 1;
    }
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
