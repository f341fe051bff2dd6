#include "runtime/processors.h"

#include <sched.h>

namespace pic2pnm {

bool SecondProcessorAvailable() {
    cpu_set_t processors;
    CPU_ZERO(&processors);
    return ::sched_getaffinity(0, sizeof processors, &processors) == 0 &&
           CPU_COUNT(&processors) >= 2;
}

}  // namespace pic2pnm
