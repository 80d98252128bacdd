// The malloc arena limit, through glibc's mallopt.
#include "platform/linux/MallocArenas.h"

#include <malloc.h>

namespace halvo {

void MallocArenas::limit() {
    mallopt(M_ARENA_MAX, 2);
}

} // namespace halvo
