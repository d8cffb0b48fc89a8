#include "device_api.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace tallylink {
namespace {

// Everything the library remembers between calls. One instance per process,
// created on first use and never destroyed: the serial engine's monitor
// thread may still deliver a chunk while static destructors run at exit, and
// it must never find the reply channel gone.
struct LinkState {
    int connectedFlag = 0;
    // The reply slot and the reply event. The event lives as long as the
    // library; each connect returns it to the unsignalled state instead of
    // creating a new one, so no event is leaked and no thread ever waits on
    // or signals a destroyed one.
    ReplyChannel channel;
    PortBackend* backend = nullptr;  // null: DefaultPortBackend()
    PortFinder finder = nullptr;     // null: FindDevicePort
    // Values of the current fetch in record order. Positions
    // [heldBegin, heldEnd) were read from the machine and cleared there but
    // not yet handed to the caller.
    int recordStore[kRecordStoreSize] = {};
    unsigned heldBegin = 0;
    unsigned heldEnd = 0;
};

LinkState& Link() {
    static LinkState* const state = new LinkState();
    return *state;
}

PortBackend& Backend() {
    LinkState& link = Link();
    return link.backend != nullptr ? *link.backend : DefaultPortBackend();
}

void Send(const Command& command) {
    Backend().QueueWrite(command.data(), static_cast<unsigned>(command.size()));
}

// The card sum is unsigned 32-bit on the wire and a plain int across the
// library boundary: sums of 2^31 and above wrap to negative ints.
int WrapToInt(std::uint32_t value) {
    if (value <= static_cast<std::uint32_t>(INT_MAX)) return static_cast<int>(value);
    return -static_cast<int>(~value) - 1;
}

// Hands up to kMaxRecordsPerCall held-back records to the caller.
void HandOutHeldBack(LinkState& link, unsigned* count, int* values) {
    const unsigned n = std::min(link.heldEnd - link.heldBegin, kMaxRecordsPerCall);
    std::copy(link.recordStore + link.heldBegin, link.recordStore + link.heldBegin + n, values);
    *count = n;
    link.heldBegin += n;
    if (link.heldBegin == link.heldEnd) link.heldBegin = link.heldEnd = 0;
}

}  // namespace

int OnReceive(const unsigned char* bytes, unsigned count) {
    return Link().channel.OnReceive(bytes, count);
}

bool ExchangeCommand(const Command& command) {
    ManualEvent& event = Link().channel.Event();
    event.Reset();
    Send(command);
    return event.Wait(kReplyTimeoutMs);
}

int ConnectDevice() {
    LinkState& link = Link();
    char name[8] = {'C', 'O', 'M', '1', 0, 0, 0, 0};
    const PortFinder find = link.finder != nullptr ? link.finder : &FindDevicePort;
    // A failed search leaves an open connection as it is.
    if (find(name) == 0) return 0;
    name[7] = 0;  // whatever the finder wrote, the name ends inside the buffer
    const int portNumber = PortNumberFromName(name);
    link.channel.Event().Reset();
    // Already connected: the port is not reopened, even for another number.
    if (link.connectedFlag == 1) return 1;
    if (Backend().Open(&OnReceive, portNumber) != 1) {
        link.connectedFlag = 0;
        return 0;
    }
    // A monitor that fails to start shows up as timeouts on every exchange.
    Backend().StartMonitor();
    link.connectedFlag = 1;
    return 1;
}

int DisconnectDevice() {
    LinkState& link = Link();
    // Also close a port whose monitor never started: the port is opened
    // exclusively, so left open it would refuse every later connect.
    if (Backend().IsStarted() || link.connectedFlag != 0) Backend().Close();
    // Held-back records stay: the machine has already forgotten them, so
    // they are handed out on the first fetch after the next connect.
    link.connectedFlag = 0;
    return 1;
}

int ReadDeviceState(int* cardSum, int* recordCount) {
    LinkState& link = Link();
    if (link.connectedFlag == 0) return 0;
    if (!ExchangeCommand(kCmdGetState)) return 0;
    const std::optional<DeviceState> state = DecodeState(link.channel.Latest());
    if (!state) return 0;
    *cardSum = WrapToInt(state->cardSum);
    *recordCount = state->recordCount;
    return 1;
}

// Reads every record the machine announces, then clears them there.
//
// The caller's array has room for kMaxRecordsPerCall values while the
// machine may announce up to 65535. All announced records are read into the
// store and cleared on the machine in one fetch; the caller gets the first
// kMaxRecordsPerCall, and the following calls hand out the rest, in order,
// without talking to the machine (its new records wait there meanwhile).
//
// A fetch hands out nothing and sends no clear unless it received exactly
// the announced records: a timeout, an unusable state reply or pages that
// deliver fewer or more values than announced leave the machine's records in
// place for the next try, and the outputs untouched. More values than
// announced is how a late reply shows itself: a machine that was stalled
// answers the state commands of earlier, timed-out polls after the purge
// that precedes a page command, and such a state frame, read as a page,
// would hand out its counters as records and then clear the real ones.
int FetchRecords(unsigned* count, int* values) {
    LinkState& link = Link();
    if (link.connectedFlag == 0) return 0;
    if (link.heldEnd > link.heldBegin) {
        HandOutHeldBack(link, count, values);
        return 1;
    }

    if (!ExchangeCommand(kCmdGetState)) return 0;
    const std::optional<DeviceState> state = DecodeState(link.channel.Latest());
    if (!state) return 0;
    const unsigned announced = state->recordCount;
    const unsigned pages = (announced + kValuesPerPage - 1) / kValuesPerPage;

    unsigned received = 0;
    for (unsigned page = 0; page < pages; ++page) {
        // A page may carry more than 55 values; once every announced record
        // is in, asking for more would only fetch what is not handed out.
        if (received >= announced) break;
        if (!ExchangeCommand(kCmdGetRecordPage)) return 0;
        received += DecodeRecordPage(link.channel.Latest(), link.recordStore, kRecordStoreSize, received);
    }
    if (received != announced) return 0;

    link.heldBegin = 0;
    link.heldEnd = announced;
    HandOutHeldBack(link, count, values);
    // Not awaited: the machine does not answer a clear.
    Send(kCmdClearRecords);
    return 1;
}

int ClearDeviceRecords() {
    LinkState& link = Link();
    if (link.connectedFlag == 0) return 0;
    link.channel.Event().Reset();
    Send(kCmdClearRecords);
    return 1;
}

int IsDeviceConnected() {
    return Link().connectedFlag != 0 ? 1 : 0;
}

void SetPortBackendForTesting(PortBackend* backend, PortFinder finder) {
    LinkState& link = Link();
    if (Backend().IsStarted()) Backend().Close();
    link.backend = backend;
    link.finder = finder;
    link.connectedFlag = 0;
    link.heldBegin = link.heldEnd = 0;
    std::fill(std::begin(link.recordStore), std::end(link.recordStore), 0);
    link.channel.Event().Reset();
}

unsigned HeldBackRecordCount() {
    const LinkState& link = Link();
    return link.heldEnd - link.heldBegin;
}

}  // namespace tallylink
