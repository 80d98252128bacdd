// The malloc settings, through glibc's mallopt.
#include "platform/linux/MallocSettings.h"

#include <malloc.h>

namespace halvo {

void MallocSettings::apply() {
    mallopt(M_ARENA_MAX, 2);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

} // namespace halvo
