// The four calls the program makes into the device library, behind a seam
// so that tests can stand in for the machine. The default calls the real
// exports of libtallylink.
//
//   FakeDevice device;                        // a test's own DeviceCalls
//   ScopedSeam<DeviceCalls> seam(&device);
#pragma once

#include "framework/seams.h"

class DeviceCalls {
  public:
    virtual ~DeviceCalls() = default;
    virtual int ConnectDov_Oz_Er() = 0;
    virtual int DisConnectDov_Oz_Er() = 0;
    virtual int GetDov_Oz_Er_State(int* cardSum, int* recordCount) = 0;
    virtual int GetDov_Oz_Er_Record(unsigned* count, int* values) = 0;
};

template <>
DeviceCalls& Seam<DeviceCalls>::Default();

inline DeviceCalls& Device() { return Seam<DeviceCalls>::Get(); }

// The spreadsheet server the Excel export talks to needs no seam of its
// own: the automation runtime creates servers by ProgID from its registry
// (automation/com_runtime.h), and tests register theirs there
// (automation::RecordingServer, ScopedServerRegistration).
