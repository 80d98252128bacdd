// The keys the keyboard seam speaks of: the shortcut's four arrows, and Escape.
#pragma once

namespace halvo {

enum class Key { left, right, up, down, escape };

} // namespace halvo
