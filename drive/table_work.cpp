#include "table_work.h"

#include "appstate.h"

namespace {

struct Waiting {
    TableWork work;
    TableWorkRunner run;
};

bool running = false;
Waiting waiting[TABLE_WORK_KINDS];
int waitingCount = 0;

void Enqueue(TableWork work, TableWorkRunner run) {
    for (int i = 0; i < waitingCount; ++i)
        if (waiting[i].work == work) return;
    if (waitingCount < TABLE_WORK_KINDS) waiting[waitingCount++] = {work, run};
}

Waiting Dequeue() {
    const Waiting first = waiting[0];
    for (int i = 1; i < waitingCount; ++i) waiting[i - 1] = waiting[i];
    --waitingCount;
    return first;
}

// What arrived meanwhile, in the order it came, unless a shutdown ran inside
// one of the work's boxes; then the work in hand has ended.
void RunWaiting(HWND window) {
    while (waitingCount > 0 && appState && appState->settingsLoaded) {
        const Waiting next = Dequeue();
        next.run(window, next.work);
    }
    waitingCount = 0;
    running = false;
}

}  // namespace

void QueueTableWork(HWND window, TableWork work, TableWorkRunner run) {
    if (!appState || !appState->settingsLoaded) return;
    if (running) {
        Enqueue(work, run);
        return;
    }
    running = true;
    run(window, work);
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
