/*
 * platform_ntkernel_ports.c - the board's ports for d418.sys: one byte in or
 * out through the HAL. (The driver's test build links a simulated board's
 * port functions instead.)
 */
#include <ntddk.h>

#include "platform.h"

uint8_t PlatformPortIn(uint16_t port)
{
    return READ_PORT_UCHAR((PUCHAR)(ULONG_PTR)port);
}

void PlatformPortOut(uint16_t port, uint8_t value)
{
    WRITE_PORT_UCHAR((PUCHAR)(ULONG_PTR)port, value);
}
