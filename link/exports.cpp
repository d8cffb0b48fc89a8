// The seven exported functions. They keep the names and argument lists the
// recorder program imports; the work is done in device_api.cpp.
#include "tallylink.h"

#include "device_api.h"

extern "C" {

int ConnectDov_Oz_Er(void) {
    return tallylink::ConnectDevice();
}

int DisConnectDov_Oz_Er(void) {
    return tallylink::DisconnectDevice();
}

int GetDov_Oz_Er_State(int* cardSum, int* recordCount) {
    if (cardSum == nullptr || recordCount == nullptr) return 0;
    return tallylink::ReadDeviceState(cardSum, recordCount);
}

int GetDov_Oz_Er_Record(unsigned* count, int* values) {
    if (count == nullptr || values == nullptr) return 0;
    return tallylink::FetchRecords(count, values);
}

int ClearDov_Oz_Er_Count(void) {
    return tallylink::ClearDeviceRecords();
}

int GetDov_Oz_Er_Ver(int /*unused*/) {
    return tallylink::IsDeviceConnected();
}

int GetLastErrorCode(int* code) {
    // The library keeps no error code.
    if (code != nullptr) *code = 0;
    return 1;
}

}  // extern "C"
