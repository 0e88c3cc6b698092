/*
 * d418sim_control.h - requests understood by the simulated D418 driver.
 *
 * The simulated driver (d418sim.sys) offers two devices:
 *
 *   \Device\D418     ("\\.\D418")    the board device, with the same control
 *                                    codes as the real driver (listed below)
 *   \Device\D418Sim  ("\\.\D418Sim") a control device through which tests
 *                                    script the board device and look at
 *                                    what it was asked
 *
 * Every request on both devices is METHOD_BUFFERED and FILE_ANY_ACCESS.
 * This header is shared by the driver and by user-mode programs: it needs
 * only <stdint.h>.
 *
 * Board device model: it remembers the base address given by INIT
 * (initially 0x300) and the timeout given by TIMEOUT (initially 200). A board
 * sits at a settable address (initially 0x300). RESET acks status 0 when the
 * base matches the board and status 4 otherwise. SEND_COMMAND keeps the
 * frame's payload (the bytes after the 6-byte frame header) as the pending
 * reply and acks status 0, or acks status 4 when the base does not match.
 * READ_RESPONSE answers a 4-byte header of zeros followed by the pending
 * payload and forgets it; with nothing pending it fails with
 * STATUS_IO_TIMEOUT. An ack or header is 4 bytes: two uninterpreted bytes,
 * then the status word, little-endian.
 *
 * A scripted answer (D418SIM_IOCTL_SCRIPT) takes precedence over the model
 * for exactly one request with a matching control code.
 */
#ifndef D418SIM_CONTROL_H
#define D418SIM_CONTROL_H

#include <stdint.h>

/* Same layout as the system's CTL_CODE, spelled out so the header needs no
   system header. Method 0 = METHOD_BUFFERED, access 0 = FILE_ANY_ACCESS. */
#define D418SIM_CTL_CODE(type, function) \
    ((uint32_t)(((uint32_t)(type) << 16) | ((uint32_t)(function) << 2)))

/* ---- Board device: \Device\D418, device type 0xD418 ---------------------- */

#define D418SIM_BOARD_DEVICE_TYPE 0xD418u
#define D418SIM_BOARD_READ_RESPONSE 0xD4182400u /* out: header + payload */
#define D418SIM_BOARD_SEND_COMMAND 0xD4182404u  /* in: frame; out: ack */
#define D418SIM_BOARD_TIMEOUT 0xD4182408u       /* in: uint32 hundredths */
#define D418SIM_BOARD_INIT 0xD418240Cu          /* in: uint32 base address */
#define D418SIM_BOARD_RESET 0xD4182414u         /* out: ack */

/* Model defaults, restored by D418SIM_IOCTL_RESET. */
#define D418SIM_DEFAULT_BASE 0x300u
#define D418SIM_DEFAULT_TIMEOUT 200u
#define D418SIM_DEFAULT_BOARD 0x300u

/* Status word of an ack when no board answers at the base address. */
#define D418SIM_STATUS_NOT_FOUND 4u

/* Sizes of the board protocol. */
#define D418SIM_HEADER_SIZE 4u       /* ack / reply header */
#define D418SIM_FRAME_HEADER_SIZE 6u /* 01 00 w1 w1 w2 w2 */
#define D418SIM_MAX_PAYLOAD 4092u    /* largest reply payload */

/* ---- Control device: \Device\D418Sim, device type 0xD419 ----------------- */

#define D418SIM_CONTROL_DEVICE_TYPE 0xD419u

/* Clears the script queue and the last-request record, zeroes the request
   counter, puts the model (base, timeout, pending reply, board address) back
   to its defaults and the open policy back to "allow, shared". Open-handle
   and create/close counters are left alone: they count real handles.
   in: none; out: none. */
#define D418SIM_IOCTL_RESET D418SIM_CTL_CODE(0xD419, 0x800) /* 0xD4192000 */

/* Moves the simulated board to another address.
   in: uint32 address; out: none. */
#define D418SIM_IOCTL_SET_BOARD D418SIM_CTL_CODE(0xD419, 0x801) /* 0xD4192004 */

/* Arms a one-shot answer. in: struct D418SIM_SCRIPT, header plus `length`
   data bytes (input length D418SIM_SCRIPT_HEADER_SIZE + length); out: none.
   Fails with STATUS_INSUFFICIENT_RESOURCES when the queue is full and with
   STATUS_INVALID_PARAMETER when the input is shorter than it says. */
#define D418SIM_IOCTL_SCRIPT D418SIM_CTL_CODE(0xD419, 0x802) /* 0xD4192008 */

/* Reports the most recent request on the board device.
   in: none; out: struct D418SIM_LAST (or any prefix of it). */
#define D418SIM_IOCTL_LAST D418SIM_CTL_CODE(0xD419, 0x803) /* 0xD419200C */

/* Reports handle counts on the board device.
   in: none; out: struct D418SIM_COUNTS. */
#define D418SIM_IOCTL_COUNTS D418SIM_CTL_CODE(0xD419, 0x804) /* 0xD4192010 */

/* Reports the model's state. in: none; out: struct D418SIM_STATE. */
#define D418SIM_IOCTL_STATE D418SIM_CTL_CODE(0xD419, 0x805) /* 0xD4192014 */

/* Sets how opens of the board device are treated.
   in: struct D418SIM_OPEN_POLICY; out: none. */
#define D418SIM_IOCTL_SET_OPEN D418SIM_CTL_CODE(0xD419, 0x806) /* 0xD4192018 */

/* How many armed answers may wait at once. */
#define D418SIM_SCRIPT_SLOTS 16u
/* The most data bytes one armed answer can carry. */
#define D418SIM_SCRIPT_MAX_DATA 4096u
/* The most input bytes the last-request record keeps. */
#define D418SIM_LAST_MAX_INPUT 8192u

/* Matches requests of any control code. */
#define D418SIM_ANY_CODE 0u

/* One armed answer. The next request on the board device whose control code
   equals `code` (or any request, when `code` is 0) is completed with
   `status`, returning the first min(length, output buffer length) bytes of
   `data` (Information is that count, whatever the status). Armed answers are
   matched in the order they were armed. */
struct D418SIM_SCRIPT {
    uint32_t code;     /* D418 control code to match; 0 = any */
    int32_t status;    /* NTSTATUS to complete with; 0 = success */
    uint32_t length;   /* bytes in data, 0..D418SIM_SCRIPT_MAX_DATA */
    uint32_t reserved; /* 0 */
    uint8_t data[D418SIM_SCRIPT_MAX_DATA];
};
#define D418SIM_SCRIPT_HEADER_SIZE 16u

/* The most recent request on the board device. */
struct D418SIM_LAST {
    uint32_t requests;      /* requests since load or D418SIM_IOCTL_RESET */
    uint32_t code;          /* its control code (0 before any request) */
    uint32_t input_length;  /* input buffer length the caller gave */
    uint32_t output_length; /* output buffer length the caller gave */
    int32_t status;         /* NTSTATUS the driver completed it with */
    uint32_t information;   /* byte count the driver returned */
    uint32_t scripted;      /* 1 if an armed answer served it */
    uint32_t captured;      /* bytes of input kept below */
    uint8_t input[D418SIM_LAST_MAX_INPUT];
};
#define D418SIM_LAST_HEADER_SIZE 32u

/* Handles on the board device. A close reaches the driver after the
   caller's CloseHandle returns; under Wine it is queued ahead of any later
   request from the same thread, but another process may see `open` lag
   behind for a moment. */
struct D418SIM_COUNTS {
    uint32_t open;     /* creates - closes */
    uint32_t creates;  /* accepted opens since the driver loaded */
    uint32_t closes;   /* closes of accepted handles since the driver loaded */
    uint32_t refused;  /* opens refused by the open policy */
    uint32_t requests; /* same as D418SIM_LAST.requests */
    uint32_t reserved[3];
};

/* The model's state. */
struct D418SIM_STATE {
    uint32_t base;           /* last INIT value */
    uint32_t timeout;        /* last TIMEOUT value */
    uint32_t board;          /* where the simulated board sits */
    uint32_t pending;        /* 1 if a reply is waiting for READ_RESPONSE */
    uint32_t pending_length; /* its payload length */
    uint32_t scripts;        /* armed answers waiting */
    int32_t open_status;     /* from D418SIM_OPEN_POLICY */
    uint32_t exclusive;      /* from D418SIM_OPEN_POLICY */
};

/* Open policy of the board device. The driver fails a refused open's create
   request with the status, but Wine hands out the handle all the same; so
   every request made on a refused handle fails with that status as well,
   and closing it does not count as a close. */
struct D418SIM_OPEN_POLICY {
    int32_t status;     /* non-zero: every open fails with this NTSTATUS */
    uint32_t exclusive; /* non-zero: an open while a handle is open fails
                           with STATUS_ACCESS_DENIED */
};

#endif /* D418SIM_CONTROL_H */
