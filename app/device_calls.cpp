#include "app/device_calls.h"

#include "link/tallylink.h"

namespace {

class RealDevice : public DeviceCalls {
  public:
    int ConnectDov_Oz_Er() override { return ::ConnectDov_Oz_Er(); }
    int DisConnectDov_Oz_Er() override { return ::DisConnectDov_Oz_Er(); }
    int GetDov_Oz_Er_State(int* cardSum, int* recordCount) override {
        return ::GetDov_Oz_Er_State(cardSum, recordCount);
    }
    int GetDov_Oz_Er_Record(unsigned* count, int* values) override {
        return ::GetDov_Oz_Er_Record(count, values);
    }
};

}  // namespace

template <>
DeviceCalls& Seam<DeviceCalls>::Default() {
    static RealDevice real;
    return real;
}
