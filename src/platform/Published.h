// An observable value: every assignment notifies every subscriber, equal values included.
#pragma once

#include "platform/Subscription.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace halvo {

template <typename T> class Published {
public:
    using Handler = std::function<void(const T&)>;

    Published() : m_handlers(std::make_shared<Handlers>()) {}
    explicit Published(T initial)
        : m_value(std::move(initial)), m_handlers(std::make_shared<Handlers>()) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& get() const { return m_value; }
    const T& operator*() const { return m_value; }
    const T* operator->() const { return &m_value; }

    // Stores the value, then calls every subscriber with it (in subscription order). Subscribers
    // added or removed during the notification take effect from the next assignment.
    void set(T value) {
        m_value = std::move(value);
        const auto snapshot = m_handlers->entries;
        for (const auto& [id, handler] : snapshot) {
            if (m_handlers->entries.count(id))
                (*handler)(m_value);
        }
    }
    Published& operator=(T value) {
        set(std::move(value));
        return *this;
    }

    // Future assignments only. The subscription may outlive this object. Subscribing does not
    // change the value, so owners can hand out read-only access.
    [[nodiscard]] Subscription subscribe(Handler handler) const {
        const std::uint64_t id = m_handlers->nextID++;
        m_handlers->entries.emplace(id, std::make_shared<Handler>(std::move(handler)));
        std::weak_ptr<Handlers> weak = m_handlers;
        return Subscription([weak, id] {
            if (auto handlers = weak.lock())
                handlers->entries.erase(id);
        });
    }

    // The current value at once, then every future assignment.
    [[nodiscard]] Subscription subscribeWithCurrent(Handler handler) const {
        handler(m_value);
        return subscribe(std::move(handler));
    }

private:
    struct Handlers {
        std::uint64_t nextID = 0;
        std::map<std::uint64_t, std::shared_ptr<Handler>> entries;
    };

    T m_value{};
    std::shared_ptr<Handlers> m_handlers;
};

} // namespace halvo
