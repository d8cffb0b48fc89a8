// The library's own cost of one command/reply exchange and of whole
// fetches, with a machine that answers instantly. On the wire a full page
// alone takes about 10 ms at 115200 baud, so the library's share must be
// far below that: the time of an exchange is the wait for the reply.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "device_api.h"
#include "fake_machine.h"
#include "tallylink.h"

namespace {

using tallytest::Bytes;

int FindMachine(char* name) {
    std::strcpy(name, "COM7");
    return 1;
}

// Answers inside QueueWrite, on the caller's thread: the reply is in the
// slot and the event set before the wait begins, so what is measured is
// the library alone.
class InstantMachine : public tallylink::PortBackend {
public:
    explicit InstantMachine(unsigned records) : records_(records) {
        std::vector<int> values(tallylink::kValuesPerPage, 1234);
        page_ = tallytest::PageFrame(0, values);
        state_ = tallytest::StateFrame(records * 1234u, static_cast<std::uint16_t>(records));
    }
    int Open(tallylink::ReceiveCallback callback, int) override {
        callback_ = callback;
        return 1;
    }
    int StartMonitor() override { started_ = true; return 1; }
    bool IsStarted() const override { return started_; }
    int Close() override { started_ = false; return 1; }
    void QueueWrite(const unsigned char* bytes, unsigned count) override {
        tallylink::Command command{};
        std::memcpy(command.data(), bytes, count < 4 ? count : 4);
        if (command == tallylink::kCmdGetState) {
            callback_(state_.data(), static_cast<unsigned>(state_.size()));
        } else if (command == tallylink::kCmdGetRecordPage) {
            callback_(page_.data(), static_cast<unsigned>(page_.size()));
        }
    }

private:
    unsigned records_;
    Bytes state_;
    Bytes page_;
    tallylink::ReceiveCallback callback_ = nullptr;
    bool started_ = false;
};

void BM_StateInstant(benchmark::State& state) {
    InstantMachine machine(3);
    tallylink::SetPortBackendForTesting(&machine, &FindMachine);
    ConnectDov_Oz_Er();
    int sum = 0, records = 0;
    for (auto _ : state) {
        if (GetDov_Oz_Er_State(&sum, &records) != 1) state.SkipWithError("no reply");
    }
    tallylink::SetPortBackendForTesting(nullptr, nullptr);
}

void BM_FetchInstant(benchmark::State& state) {
    const unsigned n = static_cast<unsigned>(state.range(0));
    InstantMachine machine(n);
    tallylink::SetPortBackendForTesting(&machine, &FindMachine);
    ConnectDov_Oz_Er();
    std::vector<int> values(tallylink::kMaxRecordsPerCall);
    unsigned count = 0;
    for (auto _ : state) {
        if (GetDov_Oz_Er_Record(&count, values.data()) != 1) state.SkipWithError("fetch failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));  // records
    tallylink::SetPortBackendForTesting(nullptr, nullptr);
}

// The same exchange with the reply delivered from the machine's own
// thread, as the serial engine does: adds one thread hand-off each way.
void BM_StateMachineThread(benchmark::State& state) {
    tallytest::FakeMachine machine;
    machine.AddRecords({100, 200});
    tallylink::SetPortBackendForTesting(&machine, &FindMachine);
    ConnectDov_Oz_Er();
    int sum = 0, records = 0;
    for (auto _ : state) {
        if (GetDov_Oz_Er_State(&sum, &records) != 1) state.SkipWithError("no reply");
    }
    tallylink::SetPortBackendForTesting(nullptr, nullptr);
}

BENCHMARK(BM_StateInstant);
BENCHMARK(BM_FetchInstant)->Arg(55)->Arg(20000);
BENCHMARK(BM_StateMachineThread)->UseRealTime();

}  // namespace
