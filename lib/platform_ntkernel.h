/*
 * platform_ntkernel.h - what the board's kernel driver tells its platform
 * file: the signal that ends a reply wait.
 */
#ifndef D418_PLATFORM_NTKERNEL_H
#define D418_PLATFORM_NTKERNEL_H

#include <ntddk.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The event whose setting ends the running request's reply wait (set when
   the request is cancelled). Given once, before the first request. */
void KernelPlatformSetCancelSignal(PKEVENT signal);

#ifdef __cplusplus
}
#endif

#endif
