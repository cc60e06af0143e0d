// Work that rebuilds the drive table or applies the settings to it runs one
// piece at a time. Error boxes, menus and dialogs run message loops of their
// own on the main window's thread, so a request can arrive while such work is
// under way (a device change while a rescan shows its error box); it is then
// carried out once, when the work in hand has ended, never inside it.
#pragma once

#include <windows.h>

enum class TableWork {
    Rescan,        // command 32786: rescan the buses, rebuild the table, show the balloon
    DeviceRescan,  // a device change: rescan the buses, rebuild the table, load the settings
    Load,          // command 32784: load the settings (re-applies speeds and spin-down)
    Resume,        // resume: load the settings, then show the balloon
    Save,          // command 32785 and the settings dialog: save the settings
};
constexpr int TABLE_WORK_KINDS = 5;

// What a kind of work does; the program decides.
using TableWorkRunner = void (*)(HWND window, TableWork work);

// Runs the work with run now, or after the work in hand when there is some;
// a kind already waiting is not queued twice. Nothing happens before the
// start-up has loaded the settings, nor without a state record.
void QueueTableWork(HWND window, TableWork work, TableWorkRunner run);

// True while a piece of table work is under way (inside one of its boxes).
bool TableWorkRunning();
// Runs work(context) now as one piece of table work, then what arrived
// meanwhile, as QueueTableWork does. False, with nothing run, while other
// work is under way: the caller tries again once it has ended.
bool RunTableWorkNow(HWND window, void (*work)(void* context), void* context);
