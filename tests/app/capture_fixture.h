// The main window with a stand-in machine, opened by the test (so that a
// test can prepare the settings file first), with helpers to read the
// record list, the enabled buttons and the day log.
#pragma once

#include <QTableView>
#include <string>
#include <vector>

#include "app/resource.h"
#include "main_window_fixture.h"

class CaptureTest : public MainWindowTest {
  protected:
    ~CaptureTest() override {
        if (dlg.Widget()) dlg.DestroyWindow();
    }

    void Open() {
        dlg.Create();
        ASSERT_NE(dlg.Widget(), nullptr);
    }

    void At(int hour, int minute, int second) {
        clock.now.tm_hour = hour;
        clock.now.tm_min = minute;
        clock.now.tm_sec = second;
    }

    std::string DayLog() const {
        return location.Read("Record/2014-08-10.log").value_or("<no day log>");
    }

    bool Enabled(int id) { return dlg.GetDlgItem(id)->IsWindowEnabled() != 0; }
    std::string Text(int id) { return dlg.GetDlgItemText(id); }

    // Column col of every row, top (newest) first.
    std::vector<std::string> Column(int col) {
        std::vector<std::string> cells;
        for (int row = 0; row < dlg.m_list.GetItemCount(); ++row)
            cells.push_back(dlg.m_list.GetItemText(row, col));
        return cells;
    }

    // Row index whose NUMBER cell is number, -1 when none.
    int RowOf(const std::string& number) {
        for (int row = 0; row < dlg.m_list.GetItemCount(); ++row)
            if (dlg.m_list.GetItemText(row, 0) == number) return row;
        return -1;
    }

    // One capture tick handing over values (the timer's handler, as a tick
    // of the window timer runs it).
    void Tick(std::vector<int> values) {
        device.batches.push_back(std::move(values));
        dlg.OnTimer(1);
    }

    static std::string Lines(std::initializer_list<const char*> lines) {
        std::string text;
        for (const char* l : lines) text += std::string(l) + "\r\n";
        return text;
    }

    CMytallydeskDlg dlg;
};
