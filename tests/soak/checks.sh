# Checks shared by the soak and the bad-settings cases. Source it.
#   check WHAT EXPECTED ACTUAL      prints ok / FAILED and counts failures
#   finish NAME                     PASS or FAIL and the exit status
#   ini_entries FILE                "section<TAB>key<TAB>value" per key (bytes as they are)
#   check_settings_file BEFORE AFTER
#                                   AFTER holds every key of BEFORE; the program's
#                                   keys have values of their forms; keys it does
#                                   not write are unchanged
#   check_drive_rows DIALOG_DUMP    the version dialog's drive rows keep the table's limits

failures=0
check() {
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"; echo "  expected: $2"; echo "  actual:   $3"
    failures=$((failures + 1))
  fi
}
finish() {
  [ "$failures" -eq 0 ] && { echo "PASS $1"; exit 0; }
  echo "FAIL $1 ($failures)"; exit 1
}

ini_entries() {
  tr -d '\r' <"$1" | LC_ALL=C awk '
    /^\[.*\]$/ { s = substr($0, 2, length($0) - 2); next }
    /=/ { i = index($0, "="); print s "\t" substr($0, 1, i - 1) "\t" substr($0, i + 1) }'
}

# The keys the program writes; any other key is someone else's.
program_key() { # program_key SECTION KEY
  case "$1/$2" in
    COMMON/ASPIDLL|COMMON/Update|COMMON/MediaControl|COMMON/UseOpenClose|COMMON/OpenCloseTimer|\
    COMMON/UseLock|COMMON/UseKeyboardHook|COMMON/SwapMenu|COMMON/BalloonAll|COMMON/BalloonAuto|\
    COMMON/NoErrorMessage|COMMON/IconType) return 0 ;;
    Menu/Open|Menu/Close|Menu/Eject|Menu/OpenClose|Menu/Lock|Menu/Unlock) return 0 ;;
    CDROM[0-9][0-9]/Skip|CDROM[0-9][0-9]/Vendor|CDROM[0-9][0-9]/Product|CDROM[0-9][0-9]/Version|\
    CDROM[0-9][0-9]/Speed|CDROM[0-9][0-9]/SpinDown) return 0 ;;
  esac
  return 1
}

# Problems with the values of the program's keys, one line each.
settings_problems() { # settings_problems FILE
  ini_entries "$1" | LC_ALL=C awk -F '\t' '
    function bad(why) { print $1 "/" $2 "=" $3 ": " why }
    ($1 == "COMMON" || $1 == "Menu" || $1 ~ /^CDROM[0-9][0-9]$/) && $3 ~ /[\001-\037\177]/ { bad("control bytes") }
    $1 == "COMMON" && $2 ~ /^(Update|MediaControl|UseOpenClose|UseLock|UseKeyboardHook|SwapMenu|BalloonAll|BalloonAuto|NoErrorMessage)$/ {
      if ($3 !~ /^-?[0-9]+$/) bad("not a number") }
    $1 == "COMMON" && $2 == "OpenCloseTimer" { if ($3 !~ /^[0-9]+$/ || $3 + 0 < 5 || $3 + 0 > 360) bad("not 5..360") }
    $1 == "COMMON" && $2 == "IconType" { if ($3 !~ /^[0-9]+$/ || $3 + 0 > 8) bad("not 0..8") }
    $1 == "COMMON" && $2 == "ASPIDLL" { if ($3 == "") bad("empty") }
    $1 == "Menu" && $2 ~ /^(Open|Close|Eject|OpenClose|Lock|Unlock)$/ { if ($3 == "" || length($3) > 29) bad("not 1..29 bytes") }
    $1 ~ /^CDROM[0-9][0-9]$/ {
      n = substr($1, 6) + 0
      if (n > 63) bad("no such drive position")
      if ($2 == "Skip" && $3 !~ /^[0-9]+$/) bad("not a number")
      if ($2 == "Speed" && ($3 !~ /^[0-9]+$/ || $3 + 0 > 31)) bad("not a speed position")
      if ($2 == "SpinDown" && $3 !~ /^0x0[0-9a-f]$/) bad("not 0x00..0x0f")
      if ($2 ~ /^(Vendor|Product|Version)$/ && length($3) > 31) bad("longer than 31 bytes")
    }'
}

check_settings_file() {
  local before=$1 after=$2 missing changed
  missing=$(LC_ALL=C comm -23 <(ini_entries "$before" | cut -f1,2 | LC_ALL=C sort -u) \
                              <(ini_entries "$after" | cut -f1,2 | LC_ALL=C sort -u) | tr '\t' '/')
  check "KORVEX.INI holds every key it held" "" "$missing"
  check "the program's keys have values of their forms" "" "$(settings_problems "$after")"
  changed=$(while IFS=$'\t' read -r s k v; do
      program_key "$s" "$k" && continue
      now=$(ini_entries "$after" | LC_ALL=C awk -F '\t' -v s="$s" -v k="$k" '$1 == s && $2 == k { print $3; exit }')
      [ "$now" == "$v" ] || printf '%s/%s: %s -> %s\n' "$s" "$k" "$v" "$now"
    done < <(ini_entries "$before"))
  check "keys the program does not write are unchanged" "" "$changed"
}

check_drive_rows() {
  local rows problems
  rows=$(grep -c '^1044 row ' "$1")
  check "the version dialog lists at most 64 drives" yes "$([ "$rows" -le 64 ] && echo yes || echo "no: $rows")"
  problems=$(grep '^1044 row ' "$1" | sed 's/^1044 row //' | while IFS='|' read -r address vendor product version spin speed list; do
      for text in "$vendor" "$product" "$version"; do
        [ "${#text}" -le 31 ] || echo "$address: text of ${#text} characters: $text"
      done
      read -r -a speeds <<<"$list"
      [ "${#speeds[@]}" -le 32 ] || echo "$address: ${#speeds[@]} speeds"
      [[ $address =~ ^[0-9]{2,3}:[0-9]{2,3}$ ]] || echo "address $address"
      [[ $speed =~ ^x[0-9]+$ ]] || echo "$address: speed $speed"
      [ -n "$spin" ] || echo "$address: no spin-down name"
    done)
  check "every drive row keeps the table's limits" "" "$problems"
}
