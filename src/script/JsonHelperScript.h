// The scripts that a JSON object adds to its engine (AddCode): the helpers before any statement
// runs, the JSON functions before the first statement that needs them (compiling them costs
// more than the rest of a short parse).
#pragma once

namespace quenlark {

// kHelperScript, in this order: get__count(value) (an array's length, else 0);
// get__name_All(value) (a plain object's own non-function member names joined by CR LF, else
// ""); get__extend(target, source) (the merge behind SetMember with JSON).
// kJsonScript: a JSON object with stringify and parse, and Object.prototype.toJSONString /
// parseJSON, each defined only where the engine lacks it.
//
// JSON.stringify writes compact text unless given an indent: names and strings in double
// quotes; \b \t \n \f \r \" \\ as two-character escapes; \u followed by four hex digits for the
// other control characters (U+0000-001F, U+007F-009F) and for the invisible format and
// separator characters (U+00AD, U+200B-200F, U+2028-202E, U+2060-2064, U+FEFF); numbers that
// are not finite as null; dates as their UTC date and time to the second, with a trailing Z.
// Everything else, U+2400 included, is written as it stands. JSON.parse reads strict JSON
// and builds the value itself; it evaluates nothing.
extern const char kHelperScript[];
extern const char kJsonScript[];

}  // namespace quenlark
