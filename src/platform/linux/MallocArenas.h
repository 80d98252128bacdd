// How many malloc arenas the process may use: glibc gives each thread that allocates its own
// arena, and the few worker threads (moves, full screen, Qt's and GLib's own) each kept one
// partly used.
#pragma once

namespace halvo {

class MallocArenas {
public:
    // At most two arenas: about 1 MiB less private memory after a thousand switches, at no
    // measurable cost (the workers allocate little). Call first thing in main, before any thread
    // starts.
    static void limit();
};

} // namespace halvo
