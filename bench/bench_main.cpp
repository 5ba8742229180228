// The benchmark program: each figure as a ratio or rate measured in this one run.
#include <cstdio>

#include "bench/bench_figures.h"

int main() {
  bool met = true;
  met = bench::RunCrc32() && met;
  met = bench::RunFileByteSum() && met;
  met = bench::RunLogLines() && met;
  met = bench::RunSendFileRange() && met;
  met = bench::RunRecords() && met;
  std::printf("targets_met = %d bool\n", met ? 1 : 0);
  return met ? 0 : 1;
}
