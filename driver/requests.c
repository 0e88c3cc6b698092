/* requests.c - the driver's request handling; see requests.h. */
#include "requests.h"

#include "frame.h"
#include "library_state.h"
#include "port_transport.h"

/* The port transport's state, here the driver's own: set by the INIT and
   TIMEOUT requests, put back by every accepted open. */
uint16_t BoardBase = D418_INITIAL_BASE;
uint32_t ReplyTimeout = D418_INITIAL_TIMEOUT;

/* The base the administrator configured: the only one INIT takes, so the
   transport only ever reaches its four ports. */
static uint16_t configured_base = D418_INITIAL_BASE;

/* The payload of the reply being read. Requests run one at a time, so one
   area serves them all and the stack stays small. */
static uint8_t payload[PORT_MAX_PAYLOAD];

/* Set by an accepted open, taken by the next request. The open runs on its
   caller's thread while the driver thread may still be finishing the
   previous holder's last request (one that was running when its handle
   closed), so the base and timeout are put back between two requests, on
   the thread that runs them, never in the middle of one. */
static int reset_due;

static void reset_now(void)
{
    BoardBase = configured_base;
    ReplyTimeout = D418_INITIAL_TIMEOUT;
}

void D418RequestsConfigure(uint32_t base)
{
    configured_base = (uint16_t)(base & 0xFFFF);
    __atomic_exchange_n(&reset_due, 0, __ATOMIC_SEQ_CST);
    reset_now();
}

void D418RequestsReset(void)
{
    __atomic_exchange_n(&reset_due, 1, __ATOMIC_SEQ_CST);
}

/* Whether INIT may set this base: the configured one, low 16 bits
   compared, as the transport keeps no more. */
static int base_allowed(uint32_t base)
{
    return (uint16_t)(base & 0xFFFF) == configured_base;
}

static uint32_t get_u32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

/* An answer of four bytes whose bytes 2-3 carry the status word. */
static uint32_t put_header(uint8_t *buffer, int32_t status_word)
{
    buffer[0] = 0;
    buffer[1] = 0;
    buffer[2] = (uint8_t)(status_word & 0xFF);
    buffer[3] = (uint8_t)((status_word >> 8) & 0xFF);
    return REPLY_HEADER_SIZE;
}

static int32_t acknowledge(uint8_t *buffer, int32_t result, uint32_t *answered)
{
    if (result != 0)
        *answered = put_header(buffer, result);
    return D418_STATUS_SUCCESS;
}

static int32_t read_response(uint8_t *buffer, uint32_t *answered)
{
    int32_t count = 0;
    int32_t result = PortReadResponse(payload, &count);
    uint32_t i;

    if (result == PORT_WAIT_ENDED)
        return D418_STATUS_CANCELLED;
    /* A header cut short reaches the caller as no bytes. (A whole reply
       whose status word is 2 and that carries no payload reads the same to
       the library: result 2, count 0.) */
    if (result == 2 && count == 0)
        return D418_STATUS_SUCCESS;
    put_header(buffer, result);
    for (i = 0; i < (uint32_t)count; i++)
        buffer[REPLY_HEADER_SIZE + i] = payload[i];
    *answered = REPLY_HEADER_SIZE + (uint32_t)count;
    return D418_STATUS_SUCCESS;
}

int32_t D418HandleRequest(uint32_t code, uint8_t *buffer, uint32_t input_length,
                          uint32_t output_length, uint32_t *answered)
{
    if (__atomic_exchange_n(&reset_due, 0, __ATOMIC_SEQ_CST))
        reset_now();
    *answered = 0;
    if (!buffer)
        input_length = output_length = 0;

    switch (code) {
    case IOCTL_D418_INIT:
        if (input_length < 4)
            return D418_STATUS_INVALID_PARAMETER;
        if (!base_allowed(get_u32(buffer)))
            return D418_STATUS_ACCESS_DENIED;
        PortInit(get_u32(buffer));
        return D418_STATUS_SUCCESS;

    case IOCTL_D418_TIMEOUT:
        if (input_length < 4)
            return D418_STATUS_INVALID_PARAMETER;
        PortTimeout(get_u32(buffer));
        return D418_STATUS_SUCCESS;

    case IOCTL_D418_RESET:
        if (output_length < D418_ACK_SIZE)
            return D418_STATUS_BUFFER_TOO_SMALL;
        return acknowledge(buffer, PortReset(), answered);

    case IOCTL_D418_SEND_COMMAND:
        if (input_length < FRAME_HEADER_SIZE || input_length > 0x7FFFFFFFu)
            return D418_STATUS_INVALID_PARAMETER;
        if (output_length < D418_ACK_SIZE)
            return D418_STATUS_BUFFER_TOO_SMALL;
        /* The frame is read whole before the acknowledgement overwrites it. */
        return acknowledge(buffer, PortSendCommand(buffer, (int32_t)input_length), answered);

    case IOCTL_D418_READ_RESPONSE:
        /* Room for the largest reply, known before the reply is taken off
           the board: a reply that did not fit would be lost. */
        if (output_length < D418_REPLY_MAX)
            return D418_STATUS_BUFFER_TOO_SMALL;
        return read_response(buffer, answered);

    default:
        return D418_STATUS_INVALID_DEVICE_REQUEST;
    }
}
