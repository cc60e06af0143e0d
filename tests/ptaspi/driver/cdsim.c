/* cdsim.sys: a test fixture, never shipped. Plays the CD-ROM class driver
   for devices a user-mode server describes: each is a FILE_DEVICE_CD_ROM
   device with the link \DosDevices\CdRomN and, when it has one, a drive
   letter. Its own name is \Device\KorvexCdSimI, not \Device\CdRomN as on
   Windows: Wine's mount manager has a \Device\CdRomN for each CD-ROM letter. IOCTL_SCSI_GET_ADDRESS
   and IOCTL_STORAGE_GET_DEVICE_NUMBER are answered here; every IOCTL_SCSI_PASS_THROUGH goes to the
   server, which keeps IOCTL_CDSIM_NEXT requests pending on the control device (the inverted call):
   the caller's request stays pending until the server's IOCTL_CDSIM_ANSWER completes it. Wine
   serves every device of a driver from one thread, so nothing here may wait. */
#include <ntddk.h>
#include <ntddscsi.h>
#include <ntddstor.h>

#include "cdsimctl.h"

typedef struct device_ext {
    int control;
    ULONG index, number;
    char letter;
    UCHAR port, path, target, lun, readOnly;
    BOOLEAN present;
} device_ext;

static PDEVICE_OBJECT control_device;
static PDEVICE_OBJECT devices[CDSIM_MAX_DEVICES];
static KSPIN_LOCK lock;
static LIST_ENTRY servers; /* NEXT requests waiting for a caller */
static LIST_ENTRY waiting; /* callers' requests not yet handed over */
static LIST_ENTRY handed;  /* callers' requests the server has */
static ULONG next_id;
static BOOLEAN stopping;

#define IRP_ID(irp) ((irp)->Tail.Overlay.DriverContext[0])
#define IRP_LINK(irp) (&(irp)->Tail.Overlay.ListEntry)

static NTSTATUS finish(IRP* irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* prefix, then the number in decimal or, with letter, the letter and a colon. */
static void make_name(WCHAR* buffer, const WCHAR* prefix, ULONG n, char letter,
                      UNICODE_STRING* out) {
    WCHAR digits[12];
    int count = 0;
    WCHAR* p = buffer;
    while (*prefix) *p++ = *prefix++;
    if (letter) {
        *p++ = (WCHAR)letter;
        *p++ = L':';
    } else {
        do digits[count++] = (WCHAR)(L'0' + n % 10);
        while ((n /= 10) != 0);
        while (count) *p++ = digits[--count];
    }
    *p = 0;
    RtlInitUnicodeString(out, buffer);
}

/* Wine's mount manager owns the names of its CD-ROM letters, and a
   \DosDevices\CdRomN of its own for each: both are taken over. */
static void take_name(UNICODE_STRING* link, UNICODE_STRING* target) {
    if (!NT_SUCCESS(IoCreateSymbolicLink(link, target))) {
        IoDeleteSymbolicLink(link);
        IoCreateSymbolicLink(link, target);
    }
}

static void link_names(device_ext* ext) {
    WCHAR link[64], target[64];
    UNICODE_STRING l, t;
    make_name(target, L"\\Device\\KorvexCdSim", ext->index, 0, &t);
    make_name(link, L"\\DosDevices\\CdRom", ext->number, 0, &l);
    take_name(&l, &t);
    if (ext->letter != CDSIM_NO_LETTER) {
        make_name(link, L"\\DosDevices\\", 0, ext->letter, &l);
        take_name(&l, &t);
    }
}

static void unlink_names(device_ext* ext) {
    WCHAR link[64];
    UNICODE_STRING l;
    make_name(link, L"\\DosDevices\\CdRom", ext->number, 0, &l);
    IoDeleteSymbolicLink(&l);
    if (ext->letter != CDSIM_NO_LETTER) {
        make_name(link, L"\\DosDevices\\", 0, ext->letter, &l);
        IoDeleteSymbolicLink(&l);
    }
}

static NTSTATUS add_device(const cdsim_add* add) {
    WCHAR name[64];
    UNICODE_STRING n;
    PDEVICE_OBJECT device;
    device_ext* ext;
    NTSTATUS status;
    if (add->index >= CDSIM_MAX_DEVICES || devices[add->index]) return STATUS_INVALID_PARAMETER;
    make_name(name, L"\\Device\\KorvexCdSim", add->index, 0, &n);
    status = IoCreateDevice(control_device->DriverObject, sizeof(device_ext), &n,
                            FILE_DEVICE_CD_ROM, FILE_REMOVABLE_MEDIA, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    device->Flags |= DO_BUFFERED_IO;
    ext = device->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    ext->index = add->index;
    ext->number = add->number;
    ext->letter = add->letter;
    ext->port = add->port;
    ext->path = add->path;
    ext->target = add->target;
    ext->lun = add->lun;
    ext->readOnly = add->readOnly;
    ext->present = TRUE;
    devices[add->index] = device;
    link_names(ext);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

/* Hands a caller's request to a waiting NEXT; the caller holds the lock.
   Returns the NEXT to complete, or NULL when none waits. */
static IRP* hand_over(IRP* caller, KIRQL* irql) {
    IRP* server;
    IO_STACK_LOCATION *from = IoGetCurrentIrpStackLocation(caller), *to;
    cdsim_request* request;
    device_ext* ext = from->DeviceObject->DeviceExtension;
    ULONG inLen = from->Parameters.DeviceIoControl.InputBufferLength;
    (void)irql;
    while (!IsListEmpty(&servers)) {
        server = CONTAINING_RECORD(RemoveHeadList(&servers), IRP, Tail.Overlay.ListEntry);
        if (!IoSetCancelRoutine(server, NULL)) {
            InitializeListHead(IRP_LINK(server)); /* its cancel routine ends it */
            continue;
        }
        to = IoGetCurrentIrpStackLocation(server);
        if (to->Parameters.DeviceIoControl.OutputBufferLength < sizeof *request + inLen) {
            server->IoStatus.Status = STATUS_BUFFER_TOO_SMALL;
            server->IoStatus.Information = 0;
            InsertTailList(&waiting, IRP_LINK(caller)); /* for the next NEXT */
            return server;
        }
        request = server->AssociatedIrp.SystemBuffer;
        request->id = (ULONG)(ULONG_PTR)IRP_ID(caller);
        request->index = ext->index;
        request->code = from->Parameters.DeviceIoControl.IoControlCode;
        request->inLen = inLen;
        request->outLen = from->Parameters.DeviceIoControl.OutputBufferLength;
        RtlCopyMemory(request + 1, caller->AssociatedIrp.SystemBuffer, inLen);
        server->IoStatus.Status = STATUS_SUCCESS;
        server->IoStatus.Information = sizeof *request + inLen;
        InsertTailList(&handed, IRP_LINK(caller));
        return server;
    }
    return NULL;
}

static void cancel_listed(DEVICE_OBJECT* device, IRP* irp) {
    KIRQL irql;
    (void)device;
    IoReleaseCancelSpinLock(irp->CancelIrql);
    KeAcquireSpinLock(&lock, &irql);
    RemoveEntryList(IRP_LINK(irp));
    KeReleaseSpinLock(&lock, irql);
    finish(irp, STATUS_CANCELLED, 0);
}

/* Pends irp on list with a cancel routine; the caller holds the lock. FALSE
   when it was cancelled already. */
static BOOLEAN pend(IRP* irp, LIST_ENTRY* list) {
    IoSetCancelRoutine(irp, cancel_listed);
    if (irp->Cancel && IoSetCancelRoutine(irp, NULL)) return FALSE;
    IoMarkIrpPending(irp);
    InsertTailList(list, IRP_LINK(irp));
    return TRUE;
}

static NTSTATUS forward(IRP* irp) {
    KIRQL irql;
    IRP* server;
    KeAcquireSpinLock(&lock, &irql);
    if (stopping) {
        KeReleaseSpinLock(&lock, irql);
        return finish(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    IRP_ID(irp) = (PVOID)(ULONG_PTR)++next_id;
    if (!pend(irp, &waiting)) {
        KeReleaseSpinLock(&lock, irql);
        return finish(irp, STATUS_CANCELLED, 0);
    }
    RemoveEntryList(IRP_LINK(irp));
    server = hand_over(irp, &irql);
    if (!server) InsertTailList(&waiting, IRP_LINK(irp));
    KeReleaseSpinLock(&lock, irql);
    if (server) IoCompleteRequest(server, IO_NO_INCREMENT);
    return STATUS_PENDING;
}

static NTSTATUS next_request(IRP* irp) {
    KIRQL irql;
    IRP* caller = NULL;
    LIST_ENTRY* entry;
    KeAcquireSpinLock(&lock, &irql);
    if (stopping) {
        cdsim_request* request = irp->AssociatedIrp.SystemBuffer;
        KeReleaseSpinLock(&lock, irql);
        if (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength <
            sizeof *request)
            return finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
        RtlZeroMemory(request, sizeof *request);
        return finish(irp, STATUS_SUCCESS, sizeof *request);
    }
    if (!pend(irp, &servers)) {
        KeReleaseSpinLock(&lock, irql);
        return finish(irp, STATUS_CANCELLED, 0);
    }
    /* A caller that came first is handed over now. */
    for (entry = waiting.Flink; entry != &waiting; entry = entry->Flink) {
        IRP* candidate = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if (IoSetCancelRoutine(candidate, NULL)) {
            caller = candidate;
            break;
        }
    }
    if (caller) {
        IRP* server;
        RemoveEntryList(IRP_LINK(caller));
        IoSetCancelRoutine(caller, cancel_listed);
        server = hand_over(caller, &irql);
        KeReleaseSpinLock(&lock, irql);
        if (server) IoCompleteRequest(server, IO_NO_INCREMENT);
        return STATUS_PENDING;
    }
    KeReleaseSpinLock(&lock, irql);
    return STATUS_PENDING;
}

static NTSTATUS answer(IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    ULONG len = stack->Parameters.DeviceIoControl.InputBufferLength;
    const cdsim_answer* a = irp->AssociatedIrp.SystemBuffer;
    IRP* caller = NULL;
    LIST_ENTRY* entry;
    KIRQL irql;
    ULONG room, n;
    if (len < sizeof *a || len - sizeof *a < a->information)
        return finish(irp, STATUS_INVALID_PARAMETER, 0);
    KeAcquireSpinLock(&lock, &irql);
    for (entry = handed.Flink; entry != &handed; entry = entry->Flink) {
        IRP* candidate = CONTAINING_RECORD(entry, IRP, Tail.Overlay.ListEntry);
        if ((ULONG)(ULONG_PTR)IRP_ID(candidate) == a->id) {
            if (IoSetCancelRoutine(candidate, NULL)) {
                RemoveEntryList(entry);
                caller = candidate;
            }
            break;
        }
    }
    KeReleaseSpinLock(&lock, irql);
    if (!caller) return finish(irp, STATUS_NOT_FOUND, 0); /* the caller has gone */
    room = IoGetCurrentIrpStackLocation(caller)->Parameters.DeviceIoControl.OutputBufferLength;
    n = a->information < room ? a->information : room;
    RtlCopyMemory(caller->AssociatedIrp.SystemBuffer, a + 1, n);
    finish(caller, a->status, n);
    return finish(irp, STATUS_SUCCESS, 0);
}

static void end_list(LIST_ENTRY* list, NTSTATUS status, int with_request) {
    while (!IsListEmpty(list)) {
        IRP* irp = CONTAINING_RECORD(list->Flink, IRP, Tail.Overlay.ListEntry);
        RemoveEntryList(IRP_LINK(irp));
        if (!IoSetCancelRoutine(irp, NULL)) {
            InitializeListHead(IRP_LINK(irp));
            continue;
        }
        if (with_request) {
            RtlZeroMemory(irp->AssociatedIrp.SystemBuffer, sizeof(cdsim_request));
            finish(irp, status, sizeof(cdsim_request));
        } else {
            finish(irp, status, 0);
        }
    }
}

static NTSTATUS stop(IRP* irp) {
    KIRQL irql;
    LIST_ENTRY s, w, h;
    InitializeListHead(&s);
    InitializeListHead(&w);
    InitializeListHead(&h);
    KeAcquireSpinLock(&lock, &irql);
    stopping = TRUE;
    /* Moved out so that the requests complete without the lock. */
    while (!IsListEmpty(&servers)) InsertTailList(&s, RemoveHeadList(&servers));
    while (!IsListEmpty(&waiting)) InsertTailList(&w, RemoveHeadList(&waiting));
    while (!IsListEmpty(&handed)) InsertTailList(&h, RemoveHeadList(&handed));
    KeReleaseSpinLock(&lock, irql);
    end_list(&s, STATUS_SUCCESS, 1);
    end_list(&w, STATUS_DEVICE_NOT_CONNECTED, 0);
    end_list(&h, STATUS_DEVICE_NOT_CONNECTED, 0);
    return finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS presence(IRP* irp) {
    const cdsim_presence* p = irp->AssociatedIrp.SystemBuffer;
    ULONG i;
    if (IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.InputBufferLength < sizeof *p)
        return finish(irp, STATUS_INVALID_PARAMETER, 0);
    for (i = 0; i < CDSIM_MAX_DEVICES; ++i) {
        device_ext* ext;
        if (!devices[i]) continue;
        ext = devices[i]->DeviceExtension;
        if (ext->port != p->port || ext->path != p->path || ext->target != p->target ||
            ext->lun != p->lun)
            continue;
        if (ext->present && !p->present) unlink_names(ext);
        if (!ext->present && p->present) link_names(ext);
        ext->present = p->present != 0;
        return finish(irp, STATUS_SUCCESS, 0);
    }
    return finish(irp, STATUS_NO_SUCH_DEVICE, 0);
}

static NTSTATUS control_request(IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_CDSIM_ADD:
        if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(cdsim_add))
            return finish(irp, STATUS_INVALID_PARAMETER, 0);
        return finish(irp, add_device(irp->AssociatedIrp.SystemBuffer), 0);
    case IOCTL_CDSIM_NEXT: return next_request(irp);
    case IOCTL_CDSIM_ANSWER: return answer(irp);
    case IOCTL_CDSIM_PRESENCE: return presence(irp);
    case IOCTL_CDSIM_STOP: return stop(irp);
    default: return finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static NTSTATUS WINAPI dispatch_ioctl(DEVICE_OBJECT* device, IRP* irp) {
    IO_STACK_LOCATION* stack = IoGetCurrentIrpStackLocation(irp);
    device_ext* ext = device->DeviceExtension;
    ULONG outLen = stack->Parameters.DeviceIoControl.OutputBufferLength;
    if (ext->control) return control_request(irp);
    if (!ext->present) return finish(irp, STATUS_NO_SUCH_DEVICE, 0);
    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_SCSI_GET_ADDRESS: {
        SCSI_ADDRESS* a = irp->AssociatedIrp.SystemBuffer;
        if (outLen < sizeof *a) return finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
        a->Length = sizeof *a;
        a->PortNumber = ext->port;
        a->PathId = ext->path;
        a->TargetId = ext->target;
        a->Lun = ext->lun;
        return finish(irp, STATUS_SUCCESS, sizeof *a);
    }
    case IOCTL_STORAGE_GET_DEVICE_NUMBER: {
        STORAGE_DEVICE_NUMBER* n = irp->AssociatedIrp.SystemBuffer;
        if (outLen < sizeof *n) return finish(irp, STATUS_BUFFER_TOO_SMALL, 0);
        n->DeviceType = FILE_DEVICE_CD_ROM;
        n->DeviceNumber = ext->number;
        n->PartitionNumber = (ULONG)-1;
        return finish(irp, STATUS_SUCCESS, sizeof *n);
    }
    case IOCTL_SCSI_PASS_THROUGH:
        /* As the I/O manager refuses it on a handle opened for reading only:
           under Wine the open itself cannot be refused. */
        if (ext->readOnly) return finish(irp, STATUS_ACCESS_DENIED, 0);
        if (stack->Parameters.DeviceIoControl.InputBufferLength < sizeof(SCSI_PASS_THROUGH))
            return finish(irp, STATUS_INVALID_PARAMETER, 0);
        return forward(irp);
    default: return finish(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* Wine's I/O manager opens the file before the driver sees IRP_MJ_CREATE and
   passes no access mask: a refusal here would not reach the caller. The
   server refuses write access with the device's security instead. */
static NTSTATUS WINAPI dispatch_create(DEVICE_OBJECT* device, IRP* irp) {
    device_ext* ext = device->DeviceExtension;
    if (!ext->control && !ext->present) return finish(irp, STATUS_NO_SUCH_DEVICE, 0);
    return finish(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS WINAPI dispatch_close(DEVICE_OBJECT* device, IRP* irp) {
    (void)device;
    return finish(irp, STATUS_SUCCESS, 0);
}

static void WINAPI unload(DRIVER_OBJECT* driver) {
    UNICODE_STRING link;
    ULONG i;
    (void)driver;
    for (i = 0; i < CDSIM_MAX_DEVICES; ++i) {
        if (!devices[i]) continue;
        if (((device_ext*)devices[i]->DeviceExtension)->present)
            unlink_names(devices[i]->DeviceExtension);
        IoDeleteDevice(devices[i]);
        devices[i] = NULL;
    }
    RtlInitUnicodeString(&link, CDSIM_CONTROL_LINK);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(control_device);
}

NTSTATUS WINAPI DriverEntry(DRIVER_OBJECT* driver, UNICODE_STRING* registry) {
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registry;
    KeInitializeSpinLock(&lock);
    InitializeListHead(&servers);
    InitializeListHead(&waiting);
    InitializeListHead(&handed);
    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_create;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_ioctl;
    driver->DriverUnload = unload;
    RtlInitUnicodeString(&name, CDSIM_CONTROL_NAME);
    status = IoCreateDevice(driver, sizeof(device_ext), &name, FILE_DEVICE_UNKNOWN, 0, FALSE,
                            &control_device);
    if (!NT_SUCCESS(status)) return status;
    control_device->Flags |= DO_BUFFERED_IO;
    RtlZeroMemory(control_device->DeviceExtension, sizeof(device_ext));
    ((device_ext*)control_device->DeviceExtension)->control = 1;
    RtlInitUnicodeString(&link, CDSIM_CONTROL_LINK);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(control_device);
        return status;
    }
    control_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
