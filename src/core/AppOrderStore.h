// The user's custom order of applications, kept in the user defaults across restarts. Entries are
// never removed: an application keeps its slot while it is not running.
#pragma once

#include "platform/UserDefaults.h"

#include <cstddef>
#include <string>
#include <vector>

namespace halvo {

class AppOrderStore {
public:
    static constexpr const char* customAppOrderKey = "halvo.customAppOrder";

    // Loads the saved order; a missing key or a value that is not an array of strings gives an
    // empty order. Writes nothing.
    explicit AppOrderStore(UserDefaults& defaults);

    // The running identifiers in custom order: known ones in their saved order, newcomers after
    // them in the order given. Newcomers are appended to the saved order at once, and a saved
    // order holding duplicates is written back without them.
    std::vector<std::string> orderedIDs(const std::vector<std::string>& runningIDs);

    // Refills the slots that the visible identifiers hold in the saved order with the visible
    // list in its new order; identifiers the saved order lacks go to the end. Writes only when the
    // result differs.
    void saveVisibleOrder(const std::vector<std::string>& visibleIDs);

    // The list with the element at `source` moved into the gap `destination` (0 = before the
    // first, count = after the last), saved through saveVisibleOrder. Out-of-range indices give
    // the list unchanged and save nothing.
    std::vector<std::string> move(std::ptrdiff_t source, std::ptrdiff_t destination,
                                  const std::vector<std::string>& ids);

    // Later repetitions removed, first occurrences kept in order.
    static std::vector<std::string> removingDuplicates(const std::vector<std::string>& ids);

    const std::vector<std::string>& savedOrder() const { return m_savedOrder; }

private:
    void replaceIfChanged(std::vector<std::string> candidate);

    UserDefaults& m_defaults;
    std::vector<std::string> m_savedOrder;
    bool m_savedOrderUnique = false; // known to hold no duplicates
};

} // namespace halvo
