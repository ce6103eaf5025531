// The worker behind HttpGetUrl: the direct link of a file from its share-page URL.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

[[nodiscard]] OwnedText ShareLinkResolver(const char* shareUrl) noexcept;

}  // namespace quenlark
