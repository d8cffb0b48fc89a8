// Throughput of the frame scan on chunks the size the serial engine hands
// over (at most 1024 bytes).
#include <benchmark/benchmark.h>

#include "fake_machine.h"
#include "frame_protocol.h"

namespace {

using tallytest::Bytes;

// Eight full record pages (8 x 119 bytes) and a little junk after them.
Bytes PagesChunk() {
    Bytes chunk;
    for (unsigned page = 0; page < 8; ++page) {
        std::vector<int> values(tallylink::kValuesPerPage);
        for (unsigned k = 0; k < values.size(); ++k) values[k] = static_cast<int>(page * 1000 + k * 0x40);
        const Bytes frame = tallytest::PageFrame(page, values);
        chunk.insert(chunk.end(), frame.begin(), frame.end());
    }
    chunk.resize(1024, 0x11);
    return chunk;
}

// The worst case for the search: 1024 bytes of "@@" pairs that never open.
Bytes JunkChunk() {
    Bytes chunk(1024, 0x40);
    for (std::size_t i = 2; i < chunk.size(); i += 3) chunk[i] = 0x41;
    return chunk;
}

void RunScan(benchmark::State& state, const Bytes& chunk) {
    std::size_t frames = 0;
    for (auto _ : state) {
        frames += tallylink::ScanFrames(chunk.data(), chunk.size(),
                                        [](const unsigned char* frame, std::size_t size) {
                                            benchmark::DoNotOptimize(frame);
                                            benchmark::DoNotOptimize(size);
                                        });
    }
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk.size()));
}

void BM_ScanPages(benchmark::State& state) { RunScan(state, PagesChunk()); }
void BM_ScanJunk(benchmark::State& state) { RunScan(state, JunkChunk()); }

// The whole receive path: scan, copy into the reply slot under its lock and
// signal the reply event, once per frame.
void BM_OnReceivePages(benchmark::State& state) {
    tallylink::ReplyChannel channel;
    const Bytes chunk = PagesChunk();
    for (auto _ : state) {
        channel.OnReceive(chunk.data(), static_cast<unsigned>(chunk.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * chunk.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * 8));  // frames
}

BENCHMARK(BM_ScanPages);
BENCHMARK(BM_ScanJunk);
BENCHMARK(BM_OnReceivePages);

}  // namespace
