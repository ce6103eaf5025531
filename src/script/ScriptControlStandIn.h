// The library's stand-in for the script control, used where "MSScriptControl.ScriptControl"
// cannot be created (64-bit Windows has none): an automation object over an in-library JScript
// host with the members the JSON object and the escape decoder call: Language (put, JScript or
// JavaScript), AddCode(code), Eval(expression) and Run(name, arguments...). The same code runs
// in the same engine as inside the control, so the statements give the same values. Its engine
// is always set for untrusted data, as the control is with UseSafeSubset.
#pragma once

#include "script/AutomationObject.h"

namespace quenlark {

// Fills the record (releasing what it held) with a new stand-in on a started engine. False when
// the engine cannot be made; lastResult then holds the failing step's HRESULT.
bool CreateScriptControlStandIn(AutomationObject& obj) noexcept;

// CreateObject of `progId` with UseSafeSubset set (the engine then makes no objects that are
// unsafe for untrusted script); when either fails, the stand-in, silently. Then the language
// (a name of JScript) is set. False only when neither can be made (lastResult then holds the
// stand-in's failure).
bool CreateScriptControl(AutomationObject& obj, const char* progId, const char* language) noexcept;

}  // namespace quenlark
