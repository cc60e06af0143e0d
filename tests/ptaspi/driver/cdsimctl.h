/* Between the CD-ROM test driver (cdsim.sys) and its user-mode device server:
   the driver's control device and the requests on it. Included by the C
   driver and by the C++ server and tests; both sides are 64-bit. */
#ifndef CDSIMCTL_H
#define CDSIMCTL_H

#define CDSIM_CONTROL_NAME L"\\Device\\KorvexCdSim"
#define CDSIM_CONTROL_LINK L"\\DosDevices\\KorvexCdSim"
#define CDSIM_CONTROL_PATH "\\\\.\\KorvexCdSim"
#define CDSIM_SERVICE "KorvexCdSim"

#define CDSIM_DEVICE_TYPE 0x8000u
#define CDSIM_CODE(n) CTL_CODE(CDSIM_DEVICE_TYPE, 0x800 + (n), METHOD_BUFFERED, FILE_ANY_ACCESS)
/* in: cdsim_add. Creates the device with its links. */
#define IOCTL_CDSIM_ADD CDSIM_CODE(0)
/* out: cdsim_request and the caller's input. Pends until a request comes. */
#define IOCTL_CDSIM_NEXT CDSIM_CODE(1)
/* in: cdsim_answer and the caller's output. Completes the caller's request. */
#define IOCTL_CDSIM_ANSWER CDSIM_CODE(2)
/* in: cdsim_presence. A device leaves (its names go, its handles fail) or comes back. */
#define IOCTL_CDSIM_PRESENCE CDSIM_CODE(3)
/* Every waiting NEXT ends with id 0, later ones at once; callers' requests
   still held end with STATUS_DEVICE_NOT_CONNECTED. */
#define IOCTL_CDSIM_STOP CDSIM_CODE(4)

#define CDSIM_MAX_DEVICES 64
#define CDSIM_NO_LETTER 0

#pragma pack(push, 8)
typedef struct cdsim_add {
    unsigned long index;  /* the server's device index, 0..CDSIM_MAX_DEVICES-1 */
    unsigned long number; /* N of \Device\CdRomN */
    char letter;          /* 'A'..'Z', or CDSIM_NO_LETTER */
    unsigned char port, path, target, lun;
    unsigned char readOnly; /* may not be written to: every pass-through is refused */
} cdsim_add;

typedef struct cdsim_request {
    unsigned long id; /* 0: the server is to stop */
    unsigned long index;
    unsigned long code;   /* the caller's I/O control code */
    unsigned long inLen;  /* bytes of the caller's input that follow */
    unsigned long outLen; /* room in the caller's output buffer */
} cdsim_request;

typedef struct cdsim_answer {
    unsigned long id;
    long status;               /* NTSTATUS for the caller */
    unsigned long information; /* bytes returned to the caller; that many follow */
} cdsim_answer;

typedef struct cdsim_presence {
    unsigned char port, path, target, lun; /* the device's address */
    unsigned long present;
} cdsim_presence;
#pragma pack(pop)

#endif
