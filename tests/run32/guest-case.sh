# Runs in the 32-bit machine (scripts/run32), in the staged folder X:: one
# end-to-end case (tests/e2e/run-e2e) or the installer case
# (tests/release/run-release) on the staged build, with the machine's Wine
# (32-bit; 64-bit under RUN32_WINE=64) and its prefix, which every run gets
# afresh.
#   guest-case.sh e2e CASE | guest-case.sh release installer VERSION
set -u
export E2E_WINE=${RUN32_WINE_LOADER:-/usr/lib/wine/wine}
export KORVEX_WINE=$E2E_WINE
case "$1" in
  e2e)
    ln -sfn "$WINEPREFIX" build/e2e-prefix
    bash tests/e2e/run-e2e "$2" build
    ;;
  release)
    KORVEX_FRESH_PREFIX=$WINEPREFIX RELEASE_TARGET=win32 \
      bash tests/release/run-release "$2" build dist "$3"
    ;;
  *) echo "guest-case.sh: e2e or release" >&2; exit 2 ;;
esac
status=$?
rm -f build/e2e-prefix
exit "$status"
