#include "export/Exports.h"

#include "export/ExportCall.h"
#include "resolve/LocationProbe.h"
#include "resolve/ShareLinkResolver.h"
#include "runtime/Trace.h"

namespace quenlark {

namespace {
ResultSlot g_locationResult;
ResultSlot g_directLinkResult;

// The worker inside its trace span.
template <typename Worker>
OwnedText Traced(const char* exportName, const OwnedText& argument, Worker worker) noexcept {
    trace::CallScope call(exportName, argument.Get());
    OwnedText result = worker(argument.Get());
    call.Result(result.Get());
    return result;
}
}  // namespace

void ReleaseResults() noexcept {
    g_locationResult.ReleaseHeld();
    g_directLinkResult.ReleaseHeld();
}

}  // namespace quenlark

// As the C declarations in quenlark.h, without noexcept: CallExport, which is noexcept, keeps
// anything thrown from leaving.
extern "C" char* __stdcall Quenlark_Location(const char* url) {
    using namespace quenlark;
    return CallExport(g_locationResult, url, [](const OwnedText& copy) {
        return Traced("Quenlark_Location", copy, [](const char* url) { return LocationProbe(url); });
    });
}

extern "C" char* __stdcall HttpGetUrl(const char* shareUrl) {
    using namespace quenlark;
    return CallExport(g_directLinkResult, shareUrl, [](const OwnedText& copy) {
        return Traced("HttpGetUrl", copy, [](const char* url) { return ResolveShareLink(url); });
    });
}
