// GLib's structured log, watched for GDK's lost-display messages.
#include "platform/gnome/GdkLossWatch.h"

#include <atomic>
#include <cstring>
#include <glib.h>
#include <string_view>

namespace halvo {
namespace {

std::atomic<void (*)()> lossHandler{nullptr};

// GDK 3 ends the process after one of these, depending on where it notices the loss: the poll's
// hang-up, the read or the dispatch.
bool namesLostDisplay(std::string_view text) {
    return text.starts_with("Lost connection to Wayland compositor") ||
           text.starts_with("Error reading events from display") ||
           (text.starts_with("Error ") &&
            text.find("dispatching to Wayland display") != std::string_view::npos);
}

bool isLostDisplay(const GLogField* fields, gsize count) {
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "MESSAGE") != 0 || !fields[i].value)
            continue;
        const auto* text = static_cast<const char*>(fields[i].value);
        const std::size_t length =
            fields[i].length < 0 ? std::strlen(text) : static_cast<std::size_t>(fields[i].length);
        return namesLostDisplay(std::string_view(text, length));
    }
    return false;
}

GLogWriterOutput write(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
    if (isLostDisplay(fields, count)) {
        if (auto* handler = lossHandler.load())
            handler();
    }
    return g_log_writer_default(level, fields, count, nullptr);
}

} // namespace

void GdkLossWatch::install(void (*onLoss)()) {
    lossHandler.store(onLoss);
    g_log_set_writer_func(write, nullptr, nullptr);
}

} // namespace halvo
