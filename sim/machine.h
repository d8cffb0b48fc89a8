// The NRV7350K card counting machine as the simulator plays it: a list of
// stored count records, a page cursor, and the answers to the three
// commands, with the faults tests need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tallysim {

// The three commands, 4 bytes each.
extern const uint8_t kCmdGetState[4];       // AA CA CA 94
extern const uint8_t kCmdGetRecordPage[4];  // AA C8 C8 90
extern const uint8_t kCmdClearRecords[4];   // AA CB CB 96

struct Faults {
    bool silent = false;        // answer nothing at all
    bool split = false;         // send each reply in two bursts with a pause between
    bool junk = false;          // send junk bytes before each reply
    bool badClose = false;      // end each reply with a wrong closing byte
    unsigned pageSize = 55;     // values per page; fewer makes short pages
    int vanishAfterPages = -1;  // close the port after this many page replies
};

// One burst of reply bytes, sent after a pause.
struct Burst {
    std::vector<uint8_t> bytes;
    int pauseBeforeMs = 0;
};

// How many of each command the machine has taken.
struct Counters {
    unsigned states = 0;
    unsigned pages = 0;
    unsigned clears = 0;
    unsigned ignoredBytes = 0;
    // Records forgotten by clear commands, over all of them.
    uint64_t clearedRecords = 0;
};

class Machine {
  public:
    static constexpr size_t kMaxRecords = 65535;
    static constexpr unsigned kFullPage = 55;
    // Pause between the two bursts of a split reply: longer than the gap
    // that ends a received chunk, so the halves arrive apart.
    static constexpr int kSplitPauseMs = 250;

    explicit Machine(Faults faults = Faults());

    // Stores one count record; false when the quantity is above 65535 or
    // the machine already holds kMaxRecords.
    bool AddRecord(unsigned quantity);
    size_t RecordCount() const;
    uint32_t CardSum() const;
    std::vector<uint16_t> Records() const;
    Counters GetCounters() const;

    Faults GetFaults() const;
    void SetFaults(const Faults& faults);

    // Takes received bytes (commands may arrive in pieces or run together)
    // and returns the replies to send, in order.
    std::vector<Burst> Receive(const uint8_t* bytes, size_t count);

    // True once, after the page reply that the vanish fault names.
    bool TakeVanish();

    // Called with a line for every command taken ("STATE records=3 sum=300",
    // "PAGE 1 values=3", "CLEAR records=3"); outside the machine's lock.
    void SetLog(std::function<void(const std::string&)> log);

    // The reply frames, whole (no faults applied).
    std::vector<uint8_t> StateFrame() const;

  private:
    std::vector<uint8_t> StateFrameLocked() const;
    std::vector<uint8_t> NextPageLocked(std::string* logLine);
    void AddReplyLocked(std::vector<uint8_t> frame, std::vector<Burst>* out) const;

    mutable std::mutex lock_;
    Faults faults_;
    std::vector<uint16_t> records_;
    uint32_t cardSum_ = 0;
    size_t cursor_ = 0;
    uint32_t pageNumber_ = 0;
    std::vector<uint8_t> pending_;
    Counters counters_;
    bool vanishDue_ = false;
    std::function<void(const std::string&)> log_;
};

// A frame: 40 40 28 L payload 29. Payloads longer than 255 bytes are cut.
std::vector<uint8_t> MakeFrame(const std::vector<uint8_t>& payload);

}  // namespace tallysim
