// ScriptHost: the system's JScript engine hosted in the library through the Active Scripting
// interfaces, for the objects that stand in for the script control and the regular-expression
// object where those are not installed. It adds code, evaluates expressions, calls global
// script functions, and keeps the last script error (message and position) for a trace.
//
// The host never initialises COM: its owner does, on the calling thread, as for the objects it
// stands in for. A host belongs to that thread.
#pragma once

#include <windows.h>

#include <activscp.h>
#include <wrl/client.h>

#include <span>

#include "script/ComOwners.h"

namespace quenlark {

// What the engine reported about the last failed piece of script.
struct ScriptErrorRecord {
    HRESULT code = S_OK;  // the exception's scode; S_OK when none was reported
    UniqueBstr message;   // the description, as the engine wrote it
    ULONG line = 0;       // 0-based, within the piece that failed
    LONG column = 0;
};

class ScriptSite;

class ScriptHost {
public:
    ScriptHost() noexcept;
    ScriptHost(ScriptHost&&) noexcept;
    ScriptHost& operator=(ScriptHost&&) noexcept;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;
    // Closes the engine before releasing it: that breaks the engine's references to the site.
    ~ScriptHost();

    // Creates and starts a fresh engine (an existing one is closed first), set for untrusted
    // data before it runs anything (IObjectSafety, where the engine offers it), so that script
    // it is given makes no unsafe objects. The HRESULT of the step that failed; the host is then
    // empty. Throws only std::bad_alloc.
    [[nodiscard]] HRESULT Start();
    [[nodiscard]] bool Started() const noexcept { return parse_ != nullptr; }

    // Runs a piece of script as global code.
    [[nodiscard]] HRESULT AddCode(const wchar_t* code) noexcept;
    // Runs a piece of script and gives the value of its last expression (VT_EMPTY for none).
    [[nodiscard]] HRESULT Eval(const wchar_t* expression, VARIANT* result) noexcept;
    // Calls the global function `name` with `args` in call order (each passed as it is). Throws
    // only std::bad_alloc.
    [[nodiscard]] HRESULT Call(const wchar_t* name, std::span<VARIANT> args, VARIANT* result);

    // The engine's report of the last script error of this host.
    [[nodiscard]] const ScriptErrorRecord& LastError() const noexcept;

private:
    void Close() noexcept;
    [[nodiscard]] HRESULT Parse(const wchar_t* code, DWORD flags, VARIANT* result) noexcept;

    Microsoft::WRL::ComPtr<ScriptSite> site_;
    Microsoft::WRL::ComPtr<IActiveScript> script_;
    Microsoft::WRL::ComPtr<IActiveScriptParse> parse_;
};

}  // namespace quenlark
