// What the benchmarks share: clocks, and the built component registered as regsvr would.
#pragma once

namespace bench {

double ProcessCpuSeconds();
double ThreadCpuSeconds();
double WallSeconds();

// The component built beside the benchmarks, registered in the registry of this process.
bool RegisterComponent();

}  // namespace bench
