/*
 * kernel_board.c - the port functions of d418.sys's test build: a simulated
 * board inside the driver, linked in place of the HAL's port access
 * (lib/platform_ntkernel_ports.c). The board is powered on at its first
 * port access, so the driver itself knows nothing of it.
 *
 * It sits at 0x300, is ready at once, and answers each frame with the frame
 * itself from w1 on: a header whose status word is w2, then the frame's
 * payload. A w1 of 0xFF00 to 0xFF03 cuts that answer to 0 to 3 bytes, a
 * reply that ends inside its header; a w1 of 0xFE00 + n gives the whole
 * answer only after n status reads showing ReplyWait (about n pauses of
 * 20 ms), a board that answers late. A read with no frame sent waits until
 * its timeout.
 */
#include "board_model.h"
#include "platform.h"

static struct BoardModel board;
static int powered;

static struct BoardModel *powered_board(void)
{
    /* Only the driver thread reaches the ports, one request at a time. */
    if (!powered) {
        BoardModelDefaultScript(&board.script);
        board.script.echo_frame = 1;
        board.script.cut_on_w1 = 1;
        board.script.delay_on_w1 = 1;
        BoardModelStart(&board);
        powered = 1;
    }
    return &board;
}

uint8_t PlatformPortIn(uint16_t port)
{
    return BoardModelIn(powered_board(), port);
}

void PlatformPortOut(uint16_t port, uint8_t value)
{
    BoardModelOut(powered_board(), port, value);
}
