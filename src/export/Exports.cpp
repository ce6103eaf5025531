#include "export/Exports.h"

#include "export/ExportCall.h"
#include "resolve/LocationProbe.h"
#include "resolve/ShareLinkResolver.h"

namespace quenlark {

namespace {
ResultSlot g_locationResult;
ResultSlot g_directLinkResult;
}  // namespace

void ReleaseResults() noexcept {
    g_locationResult.ReleaseHeld();
    g_directLinkResult.ReleaseHeld();
}

}  // namespace quenlark

extern "C" char* __stdcall Quenlark_Location(const char* url) noexcept {
    using namespace quenlark;
    return CallExport(g_locationResult, url, [](const OwnedText& copy) { return LocationProbe(copy.get()); });
}

extern "C" char* __stdcall HttpGetUrl(const char* shareUrl) noexcept {
    using namespace quenlark;
    return CallExport(g_directLinkResult, shareUrl, [](const OwnedText& copy) { return ShareLinkResolver(copy.get()); });
}
