# Sourced: the CD-ROM test driver in the Wine prefix $WINEPREFIX.
#   driver_prepare BUSFILE WORK     before the prefix's wineserver starts
#   driver_start BUSFILE BIN WORK   once it runs; BIN holds cdsim.sys and
#                                   cdsimserver.exe; WORK is the caller's folder
#   driver_stop
# Wine's mount manager calls a drive letter a CD-ROM drive when the letter is
# a folder in dosdevices and the registry says "cdrom" for it when the mount
# manager starts: driver_prepare makes both for each letter the bus file
# gives. driver_start starts the device server, which loads the driver, and
# waits until the devices are there; it returns 1 and prints the server's
# output when they never are. driver_stop ends the server (it unloads the
# driver) and takes the letters away again.
DRIVER_PID=
DRIVER_LETTERS=
driver_winpath() { echo "Z:$(readlink -f "$1" | sed 's|/|\\|g')"; }
driver_letters() {
  sed -nE 's/^[[:space:]]*letter[[:space:]]*=[[:space:]]*([A-Za-z])[[:space:]]*(;.*)?\r?$/\1/ip' "$1" | tr 'A-Z' 'a-z'
}
driver_prepare() {
  local busfile=$1 work=$2 letter
  DRIVER_LETTERS=$(driver_letters "$busfile")
  [ -n "$DRIVER_LETTERS" ] || return 0
  printf '\n[Software\\\\Wine\\\\Drives] %s\n' "$(date +%s)" >>"$WINEPREFIX/system.reg"
  for letter in $DRIVER_LETTERS; do
    case "$letter" in
      c|z) echo "letter=$letter is the system's own drive" >&2; return 1 ;;
    esac
    mkdir -p "$work/media-$letter"
    rm -f "$WINEPREFIX/dosdevices/$letter:" "$WINEPREFIX/dosdevices/$letter::"
    ln -s "$work/media-$letter" "$WINEPREFIX/dosdevices/$letter:"
    printf '"%s:"="cdrom"\n' "$letter" >>"$WINEPREFIX/system.reg"
  done
}
driver_start() {
  local busfile=$1 bin=$2 work=$3 _
  DRIVER_BIN=$bin
  rm -f "$work/driver-ready"
  /usr/lib/wine/wine64 "$bin/cdsimserver.exe" serve "$(driver_winpath "$busfile")" \
    "$(driver_winpath "$bin/cdsim.sys")" "$(driver_winpath "$work")\\driver-ready" \
    </dev/null >"$work/driver-server.log" 2>&1 &
  DRIVER_PID=$!
  for _ in $(seq 1 300); do
    [ -f "$work/driver-ready" ] && return 0
    kill -0 "$DRIVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "the device server did not start:" >&2
  cat "$work/driver-server.log" >&2
  return 1
}
driver_stop() {
  local letter _
  if [ -n "$DRIVER_PID" ]; then
    /usr/lib/wine/wine64 "$DRIVER_BIN/cdsimserver.exe" stop </dev/null >/dev/null 2>&1
    for _ in $(seq 1 100); do kill -0 "$DRIVER_PID" 2>/dev/null || break; sleep 0.1; done
    kill "$DRIVER_PID" 2>/dev/null
    wait "$DRIVER_PID" 2>/dev/null
    DRIVER_PID=
  fi
  for letter in $DRIVER_LETTERS; do
    rm -f "$WINEPREFIX/dosdevices/$letter:"
    /usr/lib/wine/wine64 reg delete 'HKLM\Software\Wine\Drives' /v "$letter:" /f </dev/null >/dev/null 2>&1
  done
  DRIVER_LETTERS=
  return 0
}
