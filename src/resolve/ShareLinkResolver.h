// The worker behind HttpGetUrl: the direct link of a file from its share-page URL, found by
// replaying what a browser does on the service: the share page, its download frame, and the
// download-process endpoint's JSON answer.
#pragma once

#include <cstdint>

#include "resolve/ServiceConstants.h"
#include "runtime/Owned.h"

namespace quenlark {

// Where the resolver goes, and what one of its exchanges may take: a real page is tens of KiB
// and comes in a second, the download answer is a line of JSON; a response over a limit counts
// as a failed exchange (an empty body). The answer's own limit keeps megabytes away from the
// script engine.
struct ResolverOptions {
    const char* serviceOrigin = kServiceOrigin;             // tests: a stand-in on a loopback port
    std::uint64_t maxBodyBytes = std::uint64_t{16} << 20;   // each page
    std::uint64_t maxAnswerBytes = std::uint64_t{1} << 20;  // the download answer
    std::uint32_t maxExchangeMs = 60000;
};

// dom + "/file/" + url of the service's answer; the empty text when no signature can be
// found, or the answer cannot be parsed or names no dom. Failures are shown to the user in
// message boxes.
[[nodiscard]] OwnedText ResolveShareLink(const char* shareUrl, const ResolverOptions& options = {}) noexcept;

class RegexObject;
// Makes the frame pattern's engine in `regex`; false when the system cannot.
[[nodiscard]] bool MakeFrameEngine(RegexObject& regex) noexcept;
// The download frame's source on a share page (code page 936), through the engine that
// MakeFrameEngine made: the first match's of the frame pattern, or the second's when the first
// is too short to be it or is no path on the service's origin (IsServicePath); empty without
// one, or when the second is no such path either. In time linear in the page.
[[nodiscard]] OwnedText FrameSourceOfPage(RegexObject& regex, const char* page) noexcept;

extern const char kRegexFailedMessage[];
extern const char kSignFailedMessage[];
extern const char kJsonFailedMessage[];

}  // namespace quenlark
