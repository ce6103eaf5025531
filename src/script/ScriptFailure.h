// How the script layer fails. Runtime blocks (texts, byte-sets, records) belong to the runtime
// and stay fatal: RtAlloc ends the process after its box. COM and the script engine report
// their failures as HRESULTs, which every step hands on. The layer's own containers and objects
// (std::vector, std::wstring, new) throw std::bad_alloc, which nothing inside the layer catches:
// it is caught once at each way into the layer and becomes E_OUTOFMEMORY there:
//   InvokeDispatch         the bridge's call of any object, so every AutomationObject operation
//   NamedDispatch::Invoke  every member of the stand-ins, with the script host's work under it
//   CreateStandIn          making a stand-in and its script host
// Nothing is thrown across a COM interface or out of the layer.
#pragma once

#include <windows.h>

#include <new>
#include <stdexcept>

namespace quenlark {

// The HRESULT of `work`, or the failure that ended it: no memory for a container (or a size it
// cannot hold), and E_UNEXPECTED for anything else thrown.
template <typename Work>
[[nodiscard]] HRESULT CatchAtEntry(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace quenlark
