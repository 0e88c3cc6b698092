/*
 * config.h - what d418.c calls for the driver's configuration and access
 * control (config.c): one call each at start, at unload and in the create
 * request.
 */
#ifndef D418_DRIVER_CONFIG_H
#define D418_DRIVER_CONFIG_H

#include <ntddk.h>

/* Reads the service key's Parameters, sets the base the requests drive and
   the descriptor opens are checked against, and claims the board's four
   ports. Fails with STATUS_DEVICE_CONFIGURATION_ERROR for a value out of
   range or malformed, STATUS_CONFLICTING_ADDRESSES when another device
   holds the ports; the ports are not held after a failure. */
NTSTATUS D418ConfigStart(PDRIVER_OBJECT driver, PUNICODE_STRING service_key);

/* Gives back the ports D418ConfigStart claimed. */
void D418ConfigStop(PDRIVER_OBJECT driver);

/* The access decision on a create request: STATUS_SUCCESS or
   STATUS_ACCESS_DENIED. */
NTSTATUS D418AccessOpen(PIRP irp);

#endif
