/*
 * simulated_board.c - the board inside the test build of d418.sys, which
 * its platform file's port functions reach instead of the bus.
 *
 * It sits at 0x300, is ready at once, and answers each frame with the frame
 * itself from w1 on: a header whose status word is w2, then the frame's
 * payload. A w1 of 0xFF00 to 0xFF03 cuts that answer to 0 to 3 bytes, a
 * reply that ends inside its header. A read with no frame sent waits until
 * its timeout.
 */
#include "simulated_board.h"

struct BoardModel KernelSimulatedBoard;

void SimulatedBoardStart(void)
{
    BoardModelDefaultScript(&KernelSimulatedBoard.script);
    KernelSimulatedBoard.script.echo_frame = 1;
    KernelSimulatedBoard.script.cut_on_w1 = 1;
    BoardModelStart(&KernelSimulatedBoard);
}
