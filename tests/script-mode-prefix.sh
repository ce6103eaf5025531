#!/bin/sh
# Starts the wine prefix of one script-object mode and takes system objects out of it, the way
# a machine without them looks: their ProgIDs and their classes are gone from the registry.
#   script-mode-prefix.sh WINE_RUN MODE
#   MODE no-script-control:  no "MSScriptControl.ScriptControl" (as on 64-bit Windows)
#   MODE no-script-objects:  neither that nor "VBScript.RegExp" (VBScript switched off as well)
#   MODE no-script-engines:  nor the JScript engine, so that the library's own host fails too
# WINE_RUN is the build's wine-run.sh; the mode names the prefix (QUENLARK_WINE_MODE).
set -u
run=$1
mode=$2
export QUENLARK_WINE_MODE="$mode"

control_keys='HKCR\MSScriptControl.ScriptControl
HKCR\MSScriptControl.ScriptControl.1
HKCR\ScriptControl
HKLM\Software\Classes\CLSID\{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}
HKLM\Software\Classes\Wow6432Node\CLSID\{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}'
regexp_keys='HKCR\VBScript.RegExp
HKLM\Software\Classes\CLSID\{3F4DACA4-160D-11D2-A8E9-00104B365C9F}
HKLM\Software\Classes\Wow6432Node\CLSID\{3F4DACA4-160D-11D2-A8E9-00104B365C9F}'
engine_keys='HKCR\JScript
HKLM\Software\Classes\CLSID\{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}
HKLM\Software\Classes\Wow6432Node\CLSID\{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}'
case "$mode" in
  no-script-control) keys=$control_keys ;;
  no-script-objects) keys="$control_keys
$regexp_keys" ;;
  no-script-engines) keys="$control_keys
$regexp_keys
$engine_keys" ;;
  *) echo "script-mode-prefix.sh: unknown mode $mode" >&2; exit 2 ;;
esac

"$run" --start || exit 1
echo "$keys" | while IFS= read -r key; do
  "$run" reg delete "$key" /f </dev/null >/dev/null 2>&1
done
# Every key must be gone: a test run in a prefix that still has them would prove nothing.
left=$(echo "$keys" | while IFS= read -r key; do
  if "$run" reg query "$key" </dev/null >/dev/null 2>&1; then echo "$key"; fi
done)
if [ -n "$left" ]; then
  echo "script-mode-prefix.sh: still registered in $mode: $left" >&2
  exit 1
fi
exit 0
