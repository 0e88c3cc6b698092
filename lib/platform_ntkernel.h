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

#endif
