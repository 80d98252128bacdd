// herbstluftwm's monitors and their tags, see HerbstclientMonitors.h.
#include "platform/x11/HerbstclientMonitors.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstdio>

namespace halvo {

std::optional<std::vector<HerbstclientMonitors::Monitor>>
HerbstclientMonitors::read(std::string& error) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("herbstclient"));
    if (program.isEmpty()) {
        error = "herbstclient is not installed, so the tag the monitor shows is unknown";
        return std::nullopt;
    }
    QProcess process;
    process.start(program, {QStringLiteral("list_monitors")});
    if (!process.waitForFinished(1000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(100);
        error = "herbstclient list_monitors failed";
        return std::nullopt;
    }
    return parse(process.readAllStandardOutput().toStdString());
}

std::vector<HerbstclientMonitors::Monitor> HerbstclientMonitors::parse(std::string_view text) {
    std::vector<Monitor> monitors;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string line(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        unsigned index = 0, width = 0, height = 0;
        int x = 0, y = 0, used = 0;
        if (std::sscanf(line.c_str(), "%u: %ux%u%d%d with tag \"%n", &index, &width, &height, &x,
                        &y, &used) < 5 ||
            used == 0)
            continue;
        // The name runs to the last quote: a tag may be named with quotes in it.
        const auto close = line.rfind('"');
        if (close < static_cast<std::size_t>(used))
            continue;
        monitors.push_back(
            {{double(x), double(y), double(width), double(height)},
             line.substr(static_cast<std::size_t>(used), close - static_cast<std::size_t>(used))});
    }
    return monitors;
}

} // namespace halvo
