// Merging the running applications into the saved custom order, and storing reorders.
#include "core/AppOrderStore.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <unordered_set>

namespace halvo {

AppOrderStore::AppOrderStore(UserDefaults& defaults)
    : m_defaults(defaults),
      m_savedOrder(
          defaults.stringArrayForKey(customAppOrderKey).value_or(std::vector<std::string>{})) {}

std::vector<std::string> AppOrderStore::removingDuplicates(const std::vector<std::string>& ids) {
    std::unordered_set<std::string> seen;
    std::vector<std::string> result;
    result.reserve(ids.size());
    for (const std::string& id : ids) {
        if (seen.insert(id).second)
            result.push_back(id);
    }
    return result;
}

std::vector<std::string> AppOrderStore::orderedIDs(const std::vector<std::string>& runningIDs) {
    // Views into runningIDs and m_savedOrder, which stay put until the end: every show asks, so
    // no identifier is copied into a set.
    std::unordered_set<std::string_view> present;
    present.reserve(runningIDs.size());
    std::vector<std::string_view> unique;
    unique.reserve(runningIDs.size());
    for (const std::string& id : runningIDs) {
        if (present.insert(id).second)
            unique.push_back(id);
    }

    std::vector<std::string> result;
    result.reserve(unique.size());
    std::unordered_set<std::string_view> inResult;
    inResult.reserve(unique.size());
    for (const std::string& id : m_savedOrder) {
        if (present.count(id) && inResult.insert(id).second)
            result.push_back(id);
    }

    std::vector<std::string> newcomers;
    for (const std::string_view id : unique) {
        if (!inResult.count(id))
            newcomers.emplace_back(id);
    }
    result.insert(result.end(), newcomers.begin(), newcomers.end());

    // Newcomers are never in the saved order (they would have been found above), so appending
    // them and dropping the saved order's own duplicates gives the new saved order. Without
    // newcomers and with the duplicates already gone, that is the saved order as it is.
    if (newcomers.empty() && m_savedOrderUnique)
        return result;
    std::vector<std::string> candidate = m_savedOrder;
    candidate.insert(candidate.end(), newcomers.begin(), newcomers.end());
    replaceIfChanged(removingDuplicates(candidate));
    return result;
}

void AppOrderStore::saveVisibleOrder(const std::vector<std::string>& visibleIDs) {
    const std::unordered_set<std::string> visible(visibleIDs.begin(), visibleIDs.end());
    std::deque<std::string> queue(visibleIDs.begin(), visibleIDs.end());
    std::vector<std::string> out;
    out.reserve(m_savedOrder.size() + visibleIDs.size());
    for (const std::string& id : m_savedOrder) {
        if (!visible.count(id)) {
            out.push_back(id);
            continue;
        }
        if (queue.empty())
            continue;
        out.push_back(std::move(queue.front()));
        queue.pop_front();
    }
    out.insert(out.end(), queue.begin(), queue.end());
    replaceIfChanged(removingDuplicates(out));
}

std::vector<std::string> AppOrderStore::move(std::ptrdiff_t source, std::ptrdiff_t destination,
                                             const std::vector<std::string>& ids) {
    const auto count = static_cast<std::ptrdiff_t>(ids.size());
    if (source < 0 || source >= count || destination < 0 || destination > count)
        return ids;
    std::vector<std::string> result = ids;
    std::string element = std::move(result[static_cast<std::size_t>(source)]);
    result.erase(result.begin() + source);
    std::ptrdiff_t target = source < destination ? destination - 1 : destination;
    target = std::min(target, static_cast<std::ptrdiff_t>(result.size()));
    result.insert(result.begin() + target, std::move(element));
    saveVisibleOrder(result);
    return result;
}

void AppOrderStore::replaceIfChanged(std::vector<std::string> candidate) {
    // Every caller passes a list without duplicates.
    m_savedOrderUnique = true;
    if (candidate == m_savedOrder)
        return;
    m_savedOrder = std::move(candidate);
    m_defaults.setObject(customAppOrderKey, m_savedOrder);
}

} // namespace halvo
