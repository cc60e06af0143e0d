# Shell functions for running korvex.exe on a Wine virtual desktop, shared by
# the end-to-end tests (run-e2e) and `make run` (scripts/demo). Source it.
#
#   desktop_start BUILD PREFIX   prefix with a default virtual desktop "shell"
#                                (1024x768), a display (the user's DISPLAY when
#                                KORVEX_USE_DISPLAY=1, else a private Xvfb) and a
#                                persistent wineserver; exports WINEPREFIX, DISPLAY
#   desktop_stop                 ends the wineserver of that prefix (and with it
#                                every Wine process of the prefix) and the Xvfb
#   korvex_start [ARGS]          starts korvex.exe in the background; sets KORVEX_PID
#   korvex_wait SECONDS          waits for it to end; sets KORVEX_STATUS (124: still running)
#   probe ARGS...                runs korvexprobe.exe on the desktop (its output; the
#                                status is the probe's)
#   probe_serve                  from now on one korvexprobe.exe answers every probe
#                                (where each program start costs seconds); ends
#                                with desktop_stop
#   wait_until SECONDS CMD...    retries CMD every 0.3 s until it succeeds
#   windows_path UNIXPATH        the path as the prefix sees it (drive Z: is /)
#   settings_file                the prefix's C:\windows\KORVEX.INI
#   screenshot NAME              the desktop into build/screens/NAME.png; prints the path

# The loader: 64-bit here, the 32-bit one in the machine of scripts/run32.
E2E_WINE=${E2E_WINE:-/usr/lib/wine/wine64}
E2E_XVFB_PID=
E2E_SERVER_STARTED=

windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr '/' '\\')"; }

desktop_start() {
  E2E_BUILD=$(cd "$1" && pwd)
  E2E_BIN="$E2E_BUILD/bin"
  E2E_SCREENS="$(dirname "$E2E_BUILD")/screens"
  local scripts
  scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)
  # The locale gives Wine its ANSI code page: 932 unless E2E_LOCALE names
  # another (en_US.UTF-8: 1252, as on an English Windows).
  local locale=${E2E_LOCALE:-ja_JP.UTF-8}
  export WINEPREFIX=$2 WINEDEBUG=-all LC_ALL=$locale LANG=$locale
  # Never lean on the unit tests' prefix or its warmed-up services.
  unset KORVEX_WINE_WARM WINESERVER
  if [ "${KORVEX_USE_DISPLAY:-0}" != 1 ]; then
    local display= n _
    for n in $(seq 150 199); do
      if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
    done
    [ -n "$display" ] || { echo "no free X display" >&2; return 1; }
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    export DISPLAY=$display
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X${display#:}" ] && break
      sleep 0.1
    done
  fi
  "$scripts/wine-prefix" "$WINEPREFIX"
  # The prefix belongs to these runs alone. Wine's desktop keeps the display
  # it started on: whatever an interrupted run left behind goes first.
  /usr/bin/wineserver -k 2>/dev/null || true
  /usr/bin/wineserver -w 2>/dev/null || true
  # Every program of this prefix opens on the virtual desktop "shell", which
  # shows a taskbar with the notification area: the program's icon, balloon
  # and boxes, and the probe, share one desktop.
  if [ ! -f "$WINEPREFIX/.korvex-desktop" ]; then
    "$E2E_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f </dev/null >/dev/null 2>&1
    "$E2E_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d 1024x768 /f \
      </dev/null >/dev/null 2>&1
    /usr/bin/wineserver -w
    touch "$WINEPREFIX/.korvex-desktop"
  fi
  /usr/bin/wineserver -p </dev/null >/dev/null 2>&1
  E2E_SERVER_STARTED=1
  # Wine's background services, started on no pipe (see scripts/wine-run).
  "$E2E_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Wine closes a desktop when its last program ends: a holder keeps it up,
  # so that a copy ending and the next starting happen on the same taskbar.
  "$E2E_WINE" "$E2E_BIN/korvexprobe.exe" hold </dev/null >/dev/null 2>&1 &
  wait_until 30 probe taskbar
}

desktop_stop() {
  # The probe that answers (probe_serve) ends with the wineserver: the
  # programs started after it hold its input open too.
  local serving=${E2E_PROBE_PID:-}
  [ -n "$serving" ] && exec {E2E_PROBE_IN}>&- {E2E_PROBE_OUT}<&-
  E2E_PROBE_PID=
  if [ -n "$E2E_SERVER_STARTED" ]; then
    /usr/bin/wineserver -k 2>/dev/null || true
    /usr/bin/wineserver -w 2>/dev/null || true
    E2E_SERVER_STARTED=
  fi
  if [ -n "$serving" ]; then wait "$serving" 2>/dev/null; fi
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
    E2E_XVFB_PID=
  fi
}

settings_file() { printf '%s' "$WINEPREFIX/drive_c/windows/KORVEX.INI"; }

# Writes KORVEX.INI from standard input, with the CRLF line ends of the
# profile functions.
write_settings() { sed 's/$/\r/' >"$(settings_file)"; }
# Adds lines to it the same way.
write_settings_append() { sed 's/$/\r/' >>"$(settings_file)"; }

korvex_start() {
  (cd "$E2E_BIN" && exec "$E2E_WINE" korvex.exe "$@" </dev/null >/dev/null 2>&1) &
  KORVEX_PID=$!
}

korvex_wait() {
  local limit=$(( $1 * 10 )) i
  KORVEX_STATUS=124
  for ((i = 0; i < limit; i++)); do
    if ! kill -0 "$KORVEX_PID" 2>/dev/null; then
      wait "$KORVEX_PID"; KORVEX_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

probe() {
  local out status
  if [ -n "${E2E_PROBE_PID:-}" ]; then
    local line IFS=$'\t'
    printf '%s\n' "$*" >&"$E2E_PROBE_IN"
    out= status=1
    while IFS= read -r -t 60 line <&"$E2E_PROBE_OUT"; do
      line=${line%$'\r'}
      if [[ "$line" == $'\x1e'* ]]; then status=${line#$'\x1e'}; break; fi
      out+="$line"$'\n'
    done
    [ -n "$out" ] && printf '%s' "$out"
    return "$status"
  fi
  out=$("$E2E_WINE" "$E2E_BIN/korvexprobe.exe" "$@" </dev/null 2>/dev/null)
  status=$?
  [ -n "$out" ] && printf '%s\n' "${out//$'\r'/}"
  return $status
}

probe_serve() {
  coproc E2E_PROBE { exec "$E2E_WINE" "$E2E_BIN/korvexprobe.exe" serve 2>/dev/null; }
  # A coprocess's own descriptors are closed in subshells ($(probe ...),
  # probe ... | grep): copies of them are not.
  exec {E2E_PROBE_IN}>&"${E2E_PROBE[1]}" {E2E_PROBE_OUT}<&"${E2E_PROBE[0]}"
}

wait_until() {
  local limit=$(( $1 * 10 / 3 )) i
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.3
  done
  "$@"
}

has_balloon() { probe balloon >/dev/null; }

# Waits up to SECONDS for a balloon and prints its text, from the same look
# that found it: a balloon stays ten seconds, and in a slow machine a second
# look can come after it has gone.
balloon_text() { # balloon_text SECONDS
  local text=
  wait_until "$1" eval 'text=$(probe balloon)'
  printf '%s' "$text"
}

# A screenshot of the whole display into E2E_SCREENS/NAME.png, once what was
# just opened has painted: two captures in a row the same (for at most about
# ten seconds; then the last). Prints the file's path.
screenshot() { # screenshot NAME
  mkdir -p "$E2E_SCREENS"
  local file="$E2E_SCREENS/$1.png" next="$E2E_SCREENS/.$1.next.png" i
  import -display "$DISPLAY" -window root "$next"
  for i in $(seq 1 20); do
    mv -f "$next" "$file"
    import -display "$DISPLAY" -window root "$next"
    cmp -s "$file" "$next" && break
  done
  rm -f "$next"
  printf '%s\n' "$file"
}

# The screen point at the middle of the program's icon in the notification
# area of a screenshot, "x y": the part of the area that is not background.
tray_icon_point() {
  local x y w h
  read -r x y w h < <(convert "$1" -crop 200x20+824+748 +repage -trim -format '%X %Y %w %h' info:)
  echo "$((824 + ${x#+} + w / 2)) $((748 + ${y#+} + h / 2))"
}

# The number of colours in the notification area of a screenshot (the right
# end of the taskbar): 1 when it shows no icon.
tray_colours() {
  convert "$1" -crop 200x20+824+748 +repage -format '%k' info:
}

# What the notification area shows now, from a fresh screenshot: "icon" or
# "empty".
tray() {
  [ "$(import -display "$DISPLAY" -window root png:- | tray_colours png:-)" -gt 8 ] &&
    echo icon || echo empty
}
tray_is() { [ "$(tray)" = "$1" ]; }
