/*
 * platform_ntkernel.h - what the board's kernel driver tells its platform
 * file: the request whose reply wait the pauses belong to.
 */
#ifndef D418_PLATFORM_NTKERNEL_H
#define D418_PLATFORM_NTKERNEL_H

#include <ntddk.h>

/* The request being handled (null between requests). A reply wait ends
   early when it is cancelled or its thread ends. */
void KernelPlatformSetRequest(PIRP irp);

#ifdef D418_SIMULATED_BOARD
#include "board_model.h"
/* The board the test build's port functions reach (driver/simulated_board.c). */
extern struct BoardModel KernelSimulatedBoard;
#endif

#endif
