// The library's stand-in for "VBScript.RegExp", used where that object cannot be created (the
// VBScript engine switched off or removed): the same automation members that the regex object
// calls, run by JScript's RegExp on an in-library script host.
//
//   expression    Pattern, IgnoreCase, Global, Multiline (get and put); Execute(subject) -> a
//                 match collection; Replace(subject, replacement) -> text; Test(subject)
//   collection    Count, Item(i)            (0-based)
//   match         Value, FirstIndex, Length, SubMatches
//   sub-matches   Count, Item(i)            (0-based; VT_EMPTY for a group that took no part)
// FirstIndex and Length count UTF-16 units, as the system object does. The collection is
// computed once by Execute; its items are plain values afterwards.
//
// Where the two dialects meet (how this stand-in makes them agree):
// - Global runs: after an empty match the next search starts one unit further on, and after
//   any other match where it ended. The system object works so; JScript's exec leaves an
//   empty match's lastIndex to the engine (older engines advance it themselves, newer ones do
//   not), so the stand-in sets lastIndex itself after every match.
// - A group that took no part: the system object gives VT_EMPTY; JScript gives undefined (or
//   "" in older engines). Both are read as the empty text; the stand-in hands out VT_EMPTY.
// - Replacement strings: both expand $1..$99 (two digits only when that group exists), $&, $`,
//   $' and $$, and leave any other $ (and $0) as it stands. The stand-in expands them itself
//   over the matches of one search instead of calling String.replace: wine's JScript crashed on
//   the unusual $ sequences of the tests, and this way the empty-match rule above holds too.
// - "." matches any unit but a line feed by the system object's documentation, and any unit but
//   a line terminator (LF, CR, U+2028, U+2029) in JScript; under wine the two agree (CR is not
//   matched either). Both stop at LF, which is all the library's own patterns meet: the frame
//   and charset patterns never span lines, and each stops at a quote or a word on its line.
// - A pattern the engine rejects makes Execute and Replace fail in both.
#pragma once

#include "script/AutomationObject.h"

namespace quenlark {

// Fills the record (releasing what it held) with a new stand-in on a started engine. False when
// the engine cannot be made; lastResult then holds the failing step's HRESULT.
bool CreateRegexStandIn(AutomationObject& obj) noexcept;

// CreateObject of "VBScript.RegExp"; when that fails, the stand-in, silently. False only when
// neither can be made.
bool CreateRegex(AutomationObject& obj) noexcept;

}  // namespace quenlark
