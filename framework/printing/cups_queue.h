// The one question Qt's print support cannot answer: at which resolution a
// CUPS queue prints by default. Asked of the scheduler directly.
#pragma once

#include <string>

namespace tallyprint {

// The queue's default resolution in dots per inch (the horizontal one, as
// positions are given in horizontal dots), or 0 when the scheduler does not
// say: no such queue, no scheduler, or a queue without a resolution choice.
int QueueDefaultResolution(const std::string& queue);

}  // namespace tallyprint
