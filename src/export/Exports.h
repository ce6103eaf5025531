// The two exported functions and the shutdown hook that releases their kept results.
#pragma once

namespace quenlark {

// Releases the result of Quenlark_Location, then that of HttpGetUrl.
void ReleaseResults() noexcept;

}  // namespace quenlark

extern "C" {
char* __stdcall Quenlark_Location(const char* url) noexcept;
char* __stdcall HttpGetUrl(const char* shareUrl) noexcept;
}
