# The case qemu_drives of tests/e2e/run-e2e (sourced there, with its helpers
# and the desktop up): buslook and korvex on QEMU's CD/DVD drives, in the
# machine of scripts/run32 as tests/qemu/run-drives sets it up. Wine reaches
# them through the shipped WNASPI32.DLL, as D: (ATAPI on the PC's IDE), E:
# (scsi-cd on an LSI controller) and F: (scsi-cd on virtio-scsi).
# What the drives did is judged on the host, from QEMU's monitor and trace;
# this side checks what a person sees, and says on standard output, as
# "step ..." lines, what it asked of each drive, in order.
export WINEDLLOVERRIDES=wnaspi32=n
step() { echo "step $*"; }
# A Wine start costs seconds here: one probe answers every question.
probe_serve


# The adapters in the order of the drives' Linux addresses (Wine's PathId is
# the SCSI host: IDE's first channel 0, LSI 2, virtio-scsi 3).
check "buslook lists each drive once, with its target id and what -device set" \
  "BUSLOOK for ASPI32  by QUILLAN

 HOST ADAPTER #00  MDN:16 MTL:65536
  - #00:[CROM] QEMU      QEMU DVD-ROM      1.25
  - #07:[ADPT] ASPI for WIN32              PORT2 BUS0      

 HOST ADAPTER #01  MDN:16 MTL:65536
  - #03:[CROM] KORVEX    LSI CD DRIVE      2.50
  - #07:[ADPT] ASPI for WIN32              PORT2 BUS2      

 HOST ADAPTER #02  MDN:16 MTL:65536
  - #05:[CROM] HIDDEN    HIDDEN ROM        3.75
  - #07:[ADPT] ASPI for WIN32              PORT2 BUS3      " \
  "$(cd "$E2E_BIN" && "$E2E_WINE" buslook.exe </dev/null 2>/dev/null | tr -d '\r')"

# The ATAPI drive has a stored speed, its one speed (704 KB/s): korvex sets it
# at start and again after the disc change below.
printf '%s\n' "[COMMON]" "ASPIDLL=WNASPI32.DLL" "MediaControl=1" "UseLock=1" "UseKeyboardHook=1" \
  "[CDROM00]" "Vendor=QEMU" "Product=QEMU DVD-ROM" "Version=1.25" "Speed=0" \
  | write_settings
korvex_start
check "the balloon: each drive at the speed its page 2Ah says, spin-down Default" \
  'QEMU DVD-ROM     x4  (Default)\nLSI CD DRIVE     x16 (Default)\nHIDDEN ROM       x16 (Default)' \
  "$(balloon_text 120)"
check "no box" 1 "$(probe boxes >/dev/null; echo $?)"
screenshot qemu-drives-balloon >/dev/null

title=バージョン情報
dialog_up() { probe dialog "$title" >/dev/null; }
dialog_gone() { ! dialog_up; }
probe post 32790 >/dev/null
wait_until 60 dialog_up
# The SCSI drives refuse SET CD SPEED: no speed to choose.
check "the version dialog lists the drives as they are" \
  "1044 row 00:00|QEMU|QEMU DVD-ROM|1.25|Default|x4|x4 
1044 row 01:03|KORVEX|LSI CD DRIVE|2.50|Default|x16|
1044 row 02:05|HIDDEN|HIDDEN ROM|3.75|Default|x16|
1045 row ASPI32 Module|WNASPI32.DLL" \
  "$(probe dialog "$title" | grep -E '^1044 row|^1045 row ASPI32 Module')"
screenshot qemu-drives-version >/dev/null
xdotool key Escape
wait_until 30 dialog_gone

import -display "$DISPLAY" -window root "$work/icon.png"
read -r icon_x icon_y < <(tray_icon_point "$work/icon.png")
desktop=$(xdotool search --name 'shell - Wine desktop' | head -n1)

# The middle of an item of the open menus, "X Y" (none while it is not
# shown): the K-th (from 0) item that opens a sub-menu, or the item whose
# text is TEXT, whatever marks it bears.
nth_submenu_point() { probe menu-points | grep ' > ' | sed -n "$(($1 + 1))p" | sed 's/.* @//; s/,/ /'; }
item_point() {
  probe menu-points | awk -v text="$1" '{
    point = $NF; line = $0
    sub(/^ +/, "", line); sub(/ @[0-9-]+,[0-9-]+$/, "", line)
    sub(/( >)?( checked)?( grayed)?$/, "", line)
    if (line == text) { sub(/^@/, "", point); sub(/,/, " ", point); print point; exit }
  }'
}
# Waits until FUNCTION ARGS prints a point, into point_x point_y.
await_point() { # await_point SECONDS FUNCTION ARGS...
  local limit=$(( $1 * 10 / 3 )) i p
  shift
  for ((i = 0; i < limit; i++)); do
    p=$("$@")
    [ -n "$p" ] && { read -r point_x point_y <<<"$p"; return 0; }
    sleep 0.3
  done
  return 1
}
# The menu of BUTTON (1: media, 3: speed), drive K's sub-menu, a click on
# its item TEXT; then the menus close.
menu_click() { # menu_click BUTTON K TEXT
  xdotool mousemove --sync "$icon_x" "$icon_y" click "$1"
  if await_point 30 nth_submenu_point "$2" && point_until_menus "$point_x" "$point_y" 2 &&
     await_point 30 item_point "$3"; then
    xdotool mousemove --sync "$point_x" "$point_y" click 1
  else
    check "drive $2's menu offers $3" offered "$(probe menu-items | tr '\n' '|')"
    xdotool key Escape Escape Escape
  fi
  wait_until 30 menus_gone
}

# QEMU_DRIVES_MENUS=1 (the x64 build's run): the menus too. Under the
# machine's 32-bit Wine the menu readings (korvexpeek.dll's hook inside the
# program) came back empty.
menus=${QEMU_DRIVES_MENUS:-0}
for k in 0 1 2; do
  # Alt+digit: the drive's tray opens, then closes.
  step "$k alt open"; xdotool windowfocus --sync "$desktop" key "alt+$((k + 1))"
  step "$k alt close"; xdotool windowfocus --sync "$desktop" key "alt+$((k + 1))"
  [ "$menus" = 1 ] || continue
  # The media menu, real clicks: open, close, lock.
  step "$k open"; menu_click 1 "$k" 開ける
  step "$k close"; menu_click 1 "$k" 閉じる
  step "$k lock"; menu_click 1 "$k" ロック
  # Locked, the drive keeps its tray closed when Alt+digit opens it; the menu
  # knows the lock from the drive's page 2Ah.
  step "$k alt open while locked"; xdotool windowfocus --sync "$desktop" key "alt+$((k + 1))"
  step "$k unlock"; menu_click 1 "$k" アンロック
done

if [ "$menus" = 1 ]; then
  # The speed menu of the ATAPI drive: what it offers, and a speed chosen.
  xdotool mousemove --sync "$icon_x" "$icon_y" click 3
  await_point 30 nth_submenu_point 0 && point_until_menus "$point_x" "$point_y" 2
  screenshot qemu-drives-speed-menu >/dev/null
  check "the speed menus: the ATAPI drive's one speed, the SCSI drives' none" "menu
   704 KB/S (x4) checked
menu
  QEMU DVD-ROM >
  LSI CD DRIVE	速度は設定できません grayed
  HIDDEN ROM	速度は設定できません grayed
  -
  設定の読み込み
  設定の書き込み
  -
  再スキャン
  制御の一時停止
  設定画面
  バージョン情報
  -
  プログラムの終了" "$(probe menu-items)"
  xdotool key Escape Escape
  wait_until 30 menus_gone
  step "0 speed"; menu_click 3 0 "704 KB/S (x4)"
else
  # The keys went before this click: once its menu is up, the commands they
  # gave are done.
  xdotool mousemove --sync "$icon_x" "$icon_y" click 3
  wait_until 30 menus_up 1
  xdotool key Escape
  wait_until 30 menus_gone
fi

# A new disc in the ATAPI drive while korvex runs: QEMU changes it when asked
# over the machine's second serial port (tests/qemu/qmp-watch on the host
# answers "done DRIVE" once it has), and the drive goes back to its own
# speed with a unit attention waiting. Then the device change Windows sends
# for a new disc (Wine sends none without a desktop's disk service): korvex
# rescans and puts the stored speed back. QEMU's trace shows what the drive
# answered (tests/qemu/run-drives).
new_disc() { # new_disc DRIVE: QEMU's answer
  local reply=
  stty -F /dev/ttyS1 raw -echo
  exec 7<>/dev/ttyS1
  echo "medium $1" >&7
  IFS= read -r -t 60 reply <&7
  exec 7<&-
  echo "$reply"
}
step "0 new disc"
check "QEMU put a new disc into the ATAPI drive" "done cdide" "$(new_disc cdide)"
# Before the device change, the ATAPI drive's speed item (command 400h: drive
# 0, its first speed), so that korvex's own commands are the first to meet
# what the drive says of its new disc.
step "0 speed item"
check "the program takes drive 0's speed item" 0 "$(probe send 1024 >/dev/null; echo $?)"
step "0 device change"
check "the program answers the device change" 0 "$(probe device-change 0x8000 >/dev/null; echo $?)"
check "no box on the way" 1 "$(probe boxes >/dev/null; echo $?)"
exit_program
