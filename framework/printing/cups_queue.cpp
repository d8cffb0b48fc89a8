// Kept apart from the Qt code: the CUPS headers and Qt's both define
// generic names, and this is the only place that needs libcups itself.
#include "cups_queue.h"

#include <cups/cups.h>

#include <string>

namespace tallyprint {

namespace {

// The destination for "queue" or "queue/instance" (a default set with
// lpoptions may name an instance), or null. Free with cupsFreeDests(1, ...).
cups_dest_t* NamedDest(const std::string& queue) {
    if (queue.empty()) {
        return nullptr;
    }
    const std::size_t slash = queue.find('/');
    const std::string name = queue.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : queue.substr(slash + 1);
    return cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(),
                            instance.empty() ? nullptr : instance.c_str());
}

}  // namespace

int QueueDefaultResolution(const std::string& queue) {
    cups_dest_t* dest = NamedDest(queue);
    if (dest == nullptr) {
        return 0;
    }
    int dotsPerInch = 0;
    // The scheduler states a PPD queue's DefaultResolution as the IPP
    // printer-resolution-default.
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        ipp_attribute_t* resolution =
            cupsFindDestDefault(CUPS_HTTP_DEFAULT, dest, info, "printer-resolution");
        if (resolution != nullptr && ippGetValueTag(resolution) == IPP_TAG_RESOLUTION) {
            int vertical = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int horizontal = ippGetResolution(resolution, 0, &vertical, &units);
            if (units == IPP_RES_PER_CM) {
                dotsPerInch = static_cast<int>(horizontal * 2.54 + 0.5);
            } else {
                dotsPerInch = horizontal;
            }
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    return dotsPerInch > 0 ? dotsPerInch : 0;
}

bool QueueAcceptsJobs(const std::string& queue) {
    cups_dest_t* dest = NamedDest(queue);
    if (dest == nullptr) {
        return false;
    }
    // The scheduler lists the state with every destination; a queue that
    // does not say is taken as accepting, as the spooler decides in the end.
    const char* accepting =
        cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const bool accepts = accepting == nullptr || std::string(accepting) != "false";
    cupsFreeDests(1, dest);
    return accepts;
}

}  // namespace tallyprint
