#include "compound_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>

namespace automation {

namespace {

constexpr std::uint32_t kSectorSize = 512;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kEntriesPerFatSector = kSectorSize / 4;                // 128
constexpr std::uint32_t kFatNumbersPerDifatSector = kEntriesPerFatSector - 1;  // last points on
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kDirEntrySize = 128;

constexpr std::uint32_t kFreeSect = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSect = 0xFFFFFFFD;
constexpr std::uint32_t kDifSect = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

void Put16(std::string& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::uint32_t SectorsFor(std::size_t bytes) {
    return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

// Directory order: shorter names first, then by upper-cased characters.
bool NameLess(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    return false;
}

struct DirNode {
    std::uint32_t left = kNoStream;
    std::uint32_t right = kNoStream;
    bool red = false;
};

}  // namespace

std::string BuildCompoundFile(std::vector<CompoundStream> streams) {
    std::sort(streams.begin(), streams.end(), [](const CompoundStream& a, const CompoundStream& b) {
        return NameLess(a.name, b.name);
    });
    for (auto& s : streams) {
        if (s.data.size() < kMiniStreamCutoff) s.data.resize(kMiniStreamCutoff, '\0');
    }

    // Sector map: streams, then the directory, then FAT and DIFAT sectors.
    std::vector<std::uint32_t> firstSector;
    std::uint32_t next = 0;
    for (const auto& s : streams) {
        firstSector.push_back(next);
        next += SectorsFor(s.data.size());
    }
    const std::uint32_t dirFirst = next;
    const std::uint32_t dirEntries = static_cast<std::uint32_t>(streams.size()) + 1;
    const std::uint32_t dirSectors =
        SectorsFor(static_cast<std::size_t>(dirEntries) * kDirEntrySize);
    next += dirSectors;
    // The FAT must also cover its own sectors and the DIFAT's: iterate to a
    // fixed point.
    std::uint32_t fatSectors = 0, difatSectors = 0;
    for (;;) {
        const std::uint32_t total = next + fatSectors + difatSectors;
        const std::uint32_t fat = (total + kEntriesPerFatSector - 1) / kEntriesPerFatSector;
        const std::uint32_t difat =
            fat > kHeaderDifatEntries
                ? (fat - kHeaderDifatEntries + kFatNumbersPerDifatSector - 1) /
                      kFatNumbersPerDifatSector
                : 0;
        if (fat == fatSectors && difat == difatSectors) break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const std::uint32_t fatFirst = next;
    const std::uint32_t difatFirst = fatFirst + fatSectors;
    const std::uint32_t totalSectors = difatFirst + difatSectors;

    std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors) * kEntriesPerFatSector,
                                   kFreeSect);
    const auto chain = [&fat](std::uint32_t first, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count; ++i)
            fat[first + i] = i + 1 < count ? first + i + 1 : kEndOfChain;
    };
    for (std::size_t i = 0; i < streams.size(); ++i)
        chain(firstSector[i], SectorsFor(streams[i].data.size()));
    chain(dirFirst, dirSectors);
    for (std::uint32_t i = 0; i < fatSectors; ++i) fat[fatFirst + i] = kFatSect;
    for (std::uint32_t i = 0; i < difatSectors; ++i) fat[difatFirst + i] = kDifSect;

    std::string out(static_cast<std::size_t>(totalSectors + 1) * kSectorSize, '\0');

    // Header.
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(kSignature[i]);
    Put16(out, 24, 0x003E);  // minor version
    Put16(out, 26, 0x0003);  // major version 3: 512-byte sectors
    Put16(out, 28, 0xFFFE);  // little-endian
    Put16(out, 30, 9);       // sector size 2^9
    Put16(out, 32, 6);       // mini sector size 2^6
    Put32(out, 40, 0);       // directory sector count: always 0 in version 3
    Put32(out, 44, fatSectors);
    Put32(out, 48, dirFirst);
    Put32(out, 56, kMiniStreamCutoff);
    Put32(out, 60, kEndOfChain);  // no mini FAT
    Put32(out, 64, 0);
    Put32(out, 68, difatSectors ? difatFirst : kEndOfChain);
    Put32(out, 72, difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
        Put32(out, 76 + 4 * i, i < fatSectors ? fatFirst + i : kFreeSect);
    }

    const auto sectorOffset = [](std::uint32_t sector) {
        return static_cast<std::size_t>(sector + 1) * kSectorSize;
    };

    // Stream data.
    for (std::size_t i = 0; i < streams.size(); ++i) {
        std::copy(streams[i].data.begin(), streams[i].data.end(),
                  out.begin() + sectorOffset(firstSector[i]));
    }

    // Directory: the root entry, then the streams as a balanced red-black
    // tree under it (nodes of the deepest level red, the rest black).
    std::vector<DirNode> nodes(streams.size());
    int maxDepth = 0;
    std::function<std::uint32_t(int, int, int)> build = [&](int lo, int hi,
                                                            int depth) -> std::uint32_t {
        if (lo > hi) return kNoStream;
        const int mid = (lo + hi) / 2;
        maxDepth = std::max(maxDepth, depth);
        nodes[mid].left = build(lo, mid - 1, depth + 1);
        nodes[mid].right = build(mid + 1, hi, depth + 1);
        return static_cast<std::uint32_t>(mid) + 1;  // directory id
    };
    std::function<void(std::uint32_t, int)> paint = [&](std::uint32_t id, int depth) {
        if (id == kNoStream) return;
        DirNode& n = nodes[id - 1];
        n.red = depth == maxDepth && depth > 0;
        paint(n.left, depth + 1);
        paint(n.right, depth + 1);
    };
    const std::uint32_t rootChild = build(0, static_cast<int>(streams.size()) - 1, 0);
    paint(rootChild, 0);

    const auto writeEntry = [&](std::uint32_t id, const std::string& name, std::uint8_t type,
                                bool red, std::uint32_t left, std::uint32_t right,
                                std::uint32_t child, std::uint32_t start, std::uint32_t size) {
        const std::size_t at =
            sectorOffset(dirFirst) + static_cast<std::size_t>(id) * kDirEntrySize;
        for (std::size_t i = 0; i < name.size() && i < 31; ++i) {
            Put16(out, at + 2 * i, static_cast<unsigned char>(name[i]));
        }
        Put16(out, at + 64,
              static_cast<std::uint16_t>(2 * (std::min<std::size_t>(name.size(), 31) + 1)));
        out[at + 66] = static_cast<char>(type);
        out[at + 67] = static_cast<char>(red ? 0 : 1);
        Put32(out, at + 68, left);
        Put32(out, at + 72, right);
        Put32(out, at + 76, child);
        Put32(out, at + 116, start);
        Put32(out, at + 120, size);
    };
    writeEntry(0, "Root Entry", 5, false, kNoStream, kNoStream, rootChild, kEndOfChain, 0);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        writeEntry(static_cast<std::uint32_t>(i) + 1, streams[i].name, 2, nodes[i].red,
                   nodes[i].left, nodes[i].right, kNoStream, firstSector[i],
                   static_cast<std::uint32_t>(streams[i].data.size()));
    }
    for (std::uint32_t id = dirEntries; id < dirSectors * (kSectorSize / kDirEntrySize); ++id) {
        const std::size_t at =
            sectorOffset(dirFirst) + static_cast<std::size_t>(id) * kDirEntrySize;
        Put32(out, at + 68, kNoStream);
        Put32(out, at + 72, kNoStream);
        Put32(out, at + 76, kNoStream);
    }

    // FAT.
    for (std::size_t i = 0; i < fat.size(); ++i) Put32(out, sectorOffset(fatFirst) + 4 * i, fat[i]);

    // DIFAT sectors: FAT sector numbers beyond the header's 109, chained.
    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        const std::size_t at = sectorOffset(difatFirst + d);
        for (std::uint32_t k = 0; k < kFatNumbersPerDifatSector; ++k) {
            const std::uint32_t fatIndex = kHeaderDifatEntries + d * kFatNumbersPerDifatSector + k;
            Put32(out, at + 4 * k, fatIndex < fatSectors ? fatFirst + fatIndex : kFreeSect);
        }
        Put32(out, at + 4 * kFatNumbersPerDifatSector,
              d + 1 < difatSectors ? difatFirst + d + 1 : kEndOfChain);
    }
    return out;
}

}  // namespace automation
