// How many processors this process may run on, for work that pays only when a second one
// runs it at the same time.
#pragma once

namespace pic2pnm {

// True when the process may run on at least two processors (its affinity, as `taskset` sets
// it, not the machine's count).
bool SecondProcessorAvailable();

}  // namespace pic2pnm
