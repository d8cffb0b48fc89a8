// Kept apart from the Qt code: the CUPS headers and Qt's both define
// generic names, and this is the only place that needs libcups itself.
#include "queue_resolution.h"

#include <cups/cups.h>

namespace tallyprint {

int QueueDefaultResolution(const std::string& queue) {
    if (queue.empty()) {
        return 0;
    }
    // A default set with lpoptions may name an instance, "queue/instance".
    const std::size_t slash = queue.find('/');
    const std::string name = queue.substr(0, slash);
    const std::string instance = slash == std::string::npos ? "" : queue.substr(slash + 1);
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(),
                                         instance.empty() ? nullptr : instance.c_str());
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

}  // namespace tallyprint
