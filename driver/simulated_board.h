/* simulated_board.h - the board inside the test build of d418.sys. */
#ifndef D418_SIMULATED_BOARD_H
#define D418_SIMULATED_BOARD_H

#include "board_model.h"

extern struct BoardModel KernelSimulatedBoard;

/* Powers the board on under its script. */
void SimulatedBoardStart(void);

#endif
