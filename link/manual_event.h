// A manual-reset event: once set it stays set, releasing every waiter,
// until someone resets it. The device API waits on one for each reply and
// the frame scan sets it from the serial engine's monitor thread.
#pragma once

#include <condition_variable>
#include <mutex>

namespace tallylink {

class ManualEvent {
public:
    ManualEvent() = default;
    ManualEvent(const ManualEvent&) = delete;
    ManualEvent& operator=(const ManualEvent&) = delete;

    // Signals the event and wakes every waiter.
    void Set();
    // Returns the event to the unsignalled state.
    void Reset();
    // Waits until the event is signalled or timeoutMs milliseconds have
    // passed; true when it was signalled. Does not reset the event.
    bool Wait(unsigned timeoutMs);
    // Whether the event is signalled right now.
    bool IsSet() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable signalled_changed_;
    bool signalled_ = false;
};

}  // namespace tallylink
