// The lines of a response's header block that the request procedure reads itself: the
// Set-Cookie lines for the cookie text and the Location lines for the redirect target.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

// Walks the block once, line by line: a line is what lies between CR LF pairs that start a
// character (code page 936), the status line and empty lines included, and the thread's
// messages are processed after each. A line that begins with "Set-Cookie: " (that case, that
// blank) adds its entry to `returnCookies` as CollectSetCookies does; a line whose first 10
// bytes are "Location: " in any case sets `location` to the rest (null when nothing follows;
// a later line wins). Outputs without such a line are left as they are.
void VisitHeaderLines(const char* headers, OwnedText& returnCookies, OwnedText& location) noexcept;

}  // namespace quenlark
