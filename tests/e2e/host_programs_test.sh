#!/usr/bin/env bash
# quenlark.exe and the C example (examples/c/resolve.c) against the stand-in service, through
# the real DLL: their output, its encoding when redirected (UTF-8) and their exit codes.
# usage: host_programs_test.sh BIN_DIR WINE_RUN PORT
set -uo pipefail
bin=$(cd "$1" && pwd)
wine=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
port=$3
standin="$(cd "$(dirname "$0")/../.." && pwd)/tools/standin/standin.py"
pidfile="$bin/host-programs-standin.pid"
origin="https://127.0.0.1:$port"
failed=0

/usr/bin/python3 "$standin" start --port "$port" --pidfile "$pidfile" >/dev/null || exit 1
trap '/usr/bin/python3 "$standin" stop --port "$port" --pidfile "$pidfile"' EXIT

# expect NAME EXIT-CODE LINE-PATTERN... -- COMMAND...: the output's lines (CRs dropped) must
# match the patterns one by one (grep -E, whole line); a last pattern "..." allows more lines.
# With stream=stderr set for the call, the lines of standard error are matched instead.
expect() {
  local name=$1 code=$2
  shift 2
  local patterns=()
  while [ "$1" != "--" ]; do patterns+=("$1"); shift; done
  shift
  local output status lines=() ok=1
  if [ "${stream:-stdout}" = stderr ]; then
    output=$(cd "$bin" && "$wine" "$@" 2>&1 >/dev/null; echo "exit=$?")
  else
    output=$(cd "$bin" && "$wine" "$@" 2>/dev/null; echo "exit=$?")
  fi
  status=${output##*exit=}
  mapfile -t lines < <(printf '%s' "${output%exit=*}" | tr -d '\r')
  local count=${#patterns[@]}
  if ((count > 0)) && [ "${patterns[$((count - 1))]}" = "..." ]; then
    count=$((count - 1))
    [ "${#lines[@]}" -ge "$count" ] || ok=0
  else
    [ "${#lines[@]}" -eq "$count" ] || ok=0
  fi
  [ "$status" = "$code" ] || ok=0
  for ((i = 0; i < count; i++)); do
    grep -Eqx -- "${patterns[$i]}" <<<"${lines[$i]-}" || ok=0
  done
  if [ "$ok" = 1 ]; then
    echo "ok: $name"
  else
    echo "FAILED: $name (exit $status, expected $code)"
    printf '  | %s\n' "${lines[@]}"
    failed=1
  fi
}

o="https://127\\.0\\.0\\.1:$port"
token='[A-Za-z0-9_-]{40}'
expect "help is printed and succeeds" 0 'usage: quenlark resolve \[-v\] \[--follow\] URL' ... -- ./quenlark.exe --help
expect "an unknown command is a usage error" 2 -- ./quenlark.exe fetch "$origin/s/pdownload"
# The answer's \u escapes reach the console host in code page 936 and leave it as UTF-8.
expect "resolve --follow prints the direct link and its file address" 0 \
  "$o/file/$token/季度报告\\.xlsx" "$o/dl/$token/%E5%AD%A3%E5%BA%A6%E6%8A%A5%E5%91%8A\\.xlsx" \
  -- ./quenlark.exe resolve --follow "$origin/s/chinese-name"
expect "a share without sign gives an empty line and exit code 1" 1 '' -- ./quenlark.exe resolve "$origin/s/no-sign"
expect "location of a page without redirect is empty" 1 '' -- ./quenlark.exe location "$origin/s/pdownload"
# Nothing listens on port 9 of the loopback: the one line names the step and the system's error.
refused="https://127\\.0\\.0\\.1:9/s/x"
stream=stderr expect "a failed resolve says why in one line and suggests -v" 1 \
  "quenlark: no direct link: GET $refused: \"711 .+\" at WinHttpSendRequest, error 12029: .+ \(run with -v for the whole trace\)" \
  -- ./quenlark.exe resolve https://127.0.0.1:9/s/x
stream=stderr expect "location -v prints the trace and then the reason" 1 \
  "\[Quenlark\] call: Quenlark_Location \"$o/s/pdownload\"" \
  "\[Quenlark\] exchange: GET $o/s/pdownload -> \"200 OK\", 0 body bytes, [0-9.]+ ms" \
  "\[Quenlark\] failure: the response has no Location line" \
  "\[Quenlark\] result: Quenlark_Location gives \"\" \(no result\)" \
  "quenlark: no Location value: the response has no Location line" \
  -- ./quenlark.exe location -v "$origin/s/pdownload"
stream=stderr expect "resolve -v traces the three exchanges of a resolution that works" 0 \
  "\[Quenlark\] call: HttpGetUrl \"$o/s/websign\"" "\[Quenlark\] exchange: GET $o/s/websign -> \"200 OK\".*" \
  "\[Quenlark\] resolve: download frame .*" "\[Quenlark\] exchange: GET $o/fn\?.* -> \"200 OK\".*" \
  "\[Quenlark\] resolve: .*" ... -- ./quenlark.exe resolve -v "$origin/s/websign"
expect "the C example links the import library and resolves" 0 \
  "$o/file/$token" "$o/dl/$token/lighthouse-keepers-log\\.docx" -- ./resolve.exe "$origin/s/websign"

exit $failed
