// Searching i3's layout tree, see I3Node.h.
#include "platform/i3ipc/I3Node.h"

namespace halvo {

const I3Node* I3Node::findWindow(std::uint32_t xid) const {
    if (window == xid)
        return this;
    for (const I3Node& child : children) {
        if (const I3Node* found = child.findWindow(xid))
            return found;
    }
    return nullptr;
}

const I3Node* I3Node::find(std::int64_t conId) const {
    if (id == conId)
        return this;
    for (const I3Node& child : children) {
        if (const I3Node* found = child.find(conId))
            return found;
    }
    return nullptr;
}

} // namespace halvo
