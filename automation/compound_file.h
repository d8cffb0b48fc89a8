// The compound file container (structured storage) that holds the streams
// of an Excel 97-2003 workbook.
#pragma once

#include <string>
#include <vector>

namespace automation {

struct CompoundStream {
    std::string name;  // ASCII, at most 31 characters
    std::string data;
};

// A version 3 compound file (512-byte sectors) whose root storage holds the
// given streams, in memory. Streams shorter than the 4096-byte mini stream
// cutoff are padded with zero bytes up to it, so every stream lives in
// regular sectors and no mini stream is needed; a workbook reader stops at
// the workbook's EOF record and never reads the padding. Timestamps and
// class ids are zero, so the same streams always give the same bytes.
std::string BuildCompoundFile(std::vector<CompoundStream> streams);

}  // namespace automation
