#include "table_work.h"

#include "appstate.h"
#include "drive_events.h"
#include "drive_table.h"
#include "program_objects.h"
#include "settings.h"

namespace {

bool running = false;
TableWork waiting[TABLE_WORK_KINDS];
int waitingCount = 0;

void Enqueue(TableWork work) {
    for (int i = 0; i < waitingCount; ++i)
        if (waiting[i] == work) return;
    if (waitingCount < TABLE_WORK_KINDS) waiting[waitingCount++] = work;
}

TableWork Dequeue() {
    const TableWork first = waiting[0];
    for (int i = 1; i < waitingCount; ++i) waiting[i - 1] = waiting[i];
    --waitingCount;
    return first;
}

void Run(HWND window, TableWork work) {
    switch (work) {
    case TableWork::Rescan:
        aspiBus.Rescan();
        RescanDrives(window);
        ShowStatusBalloon(window, true);
        break;
    case TableWork::DeviceRescan:
        // A new disc brings back the drive's own speed: the saved settings
        // go back on, as after a resume, without the balloon.
        aspiBus.Rescan();
        RescanDrives(window);
        LoadSettings();
        break;
    case TableWork::Load:
        LoadSettings();
        break;
    case TableWork::Resume:
        LoadSettings();
        ShowStatusBalloon(window, true);
        break;
    case TableWork::Save:
        SaveSettings(window);
        break;
    }
}

// What arrived meanwhile, in the order it came, unless a shutdown ran inside
// one of the work's boxes; then the work in hand has ended.
void RunWaiting(HWND window) {
    while (waitingCount > 0 && appState && appState->settingsLoaded) Run(window, Dequeue());
    waitingCount = 0;
    running = false;
}

}  // namespace

void RequestTableWork(HWND window, TableWork work) {
    if (!appState || !appState->settingsLoaded) return;
    if (running) {
        Enqueue(work);
        return;
    }
    running = true;
    Run(window, work);
    RunWaiting(window);
}

bool TableWorkRunning() { return running; }

bool RunTableWorkNow(HWND window, void (*work)(void* context), void* context) {
    if (running) return false;
    running = true;
    work(context);
    RunWaiting(window);
    return true;
}
