// Two questions about a CUPS queue that Qt's print support cannot answer,
// asked of the scheduler directly: its default resolution, and whether it
// takes jobs at all.
#pragma once

#include <string>

namespace tallyprint {

// The queue's default resolution in dots per inch (the horizontal one, as
// positions are given in horizontal dots), or 0 when the scheduler does not
// say: no such queue, no scheduler, or a queue without a resolution choice.
int QueueDefaultResolution(const std::string& queue);

// Whether the queue accepts new jobs. A rejecting queue (cupsreject) would
// refuse the finished document after the program had drawn it, and Qt does
// not report that; false as well when the scheduler does not know the queue.
bool QueueAcceptsJobs(const std::string& queue);

}  // namespace tallyprint
