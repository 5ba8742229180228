#pragma once
// The figures of the benchmark program; each prints its lines and tells whether it met its
// target.
namespace bench {
bool RunCrc32();          // target: at least 1 GB/s
bool RunFileByteSum();    // target: at least half of memcpy
bool RunLogLines();       // target: 100,000 lines per second from eight producers, none lost
bool RunSendFileRange();  // target: at least 1 GB/s to eight simulated units together
bool RunRecords();        // target: 1,000 part records per second committed, none lost
}  // namespace bench
