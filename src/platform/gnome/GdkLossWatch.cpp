// GLib's structured log, watched for GDK's lost-display message.
#include "platform/gnome/GdkLossWatch.h"

#include <atomic>
#include <cstring>
#include <glib.h>

namespace halvo {
namespace {

std::atomic<void (*)()> lossHandler{nullptr};

bool isLostDisplay(const GLogField* fields, gsize count) {
    static const char lost[] = "Error reading events from display";
    for (gsize i = 0; i < count; ++i) {
        if (std::strcmp(fields[i].key, "MESSAGE") != 0 || !fields[i].value)
            continue;
        const auto* text = static_cast<const char*>(fields[i].value);
        const std::size_t length =
            fields[i].length < 0 ? std::strlen(text) : static_cast<std::size_t>(fields[i].length);
        return length >= sizeof lost - 1 && std::strncmp(text, lost, sizeof lost - 1) == 0;
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
