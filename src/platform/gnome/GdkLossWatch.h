// Qt's GTK 3 platform theme, which Qt picks in GNOME, holds a GDK Wayland connection of its own.
// When the compositor goes away GDK logs it (in GLib's structured form, which Qt's message handler
// never sees) and ends the process at once: this watch hears that log line first.
#pragma once

namespace halvo {

class GdkLossWatch {
public:
    // Routes GLib's log through a writer that runs `onLoss` (which must not return) on any of
    // GDK's lost-display messages and writes everything else as GLib would. Once per process,
    // before Qt starts.
    static void install(void (*onLoss)());
};

} // namespace halvo
