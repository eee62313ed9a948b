#include "text/freed_memory.hpp"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace torvane {

void HandBackFreedMemory() {
#ifdef __GLIBC__
    (void)malloc_trim(0);
#endif
}

}  // namespace torvane
