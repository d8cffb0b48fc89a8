#include "manual_event.h"

#include <chrono>

namespace tallylink {

void ManualEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    signalled_changed_.notify_all();
}

void ManualEvent::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

bool ManualEvent::Wait(unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    // wait_for measures on the steady clock, so a change of the wall clock
    // neither shortens nor stretches the wait for a reply.
    return signalled_changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [this] { return signalled_; });
}

bool ManualEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return signalled_;
}

}  // namespace tallylink
