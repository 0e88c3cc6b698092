/*
 * security.h - who may use d418.sys and which base it drives, apart from
 * the kernel: the checks of the service key's values, the security
 * descriptor the driver checks each open against (built byte by byte, as
 * NT 4.0 exports no function to build one that is certain to be there), and
 * the decision on each open. Kernel glue lives in config.c.
 *
 * Service key values (HKLM\SYSTEM\CurrentControlSet\Services\d418\Parameters):
 *   IoBase        REG_DWORD, the board's base, 0x100-0x3FC; absent: 0x300.
 *   AllowedGroup  REG_SZ, the string SID of one more group that may open the
 *                 device ("S-1-5-21-...-513"); absent: none.
 * A value present but out of range, of another type or malformed stops the
 * driver from starting.
 */
#ifndef D418_DRIVER_SECURITY_H
#define D418_DRIVER_SECURITY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The bases add-in boards use on the ISA bus; the driver drives base+0 to
   base+3. */
#define D418_BASE_LOWEST 0x100u
#define D418_BASE_HIGHEST 0x3FCu

/* NT statuses of the start and of an open. */
#define D418_STATUS_DEVICE_CONFIGURATION_ERROR ((int32_t)0xC0000182)
#define D418_STATUS_CONFLICTING_ADDRESSES ((int32_t)0xC0000018)
#define D418_STATUS_OPEN_DENIED ((int32_t)0xC0000022)

/* Registry value types. */
#define D418_REG_SZ 1u
#define D418_REG_DWORD 4u

/* A SID's largest size: 8 bytes and 15 subauthorities. */
#define D418_SID_MAX 68u

/* What every admitted caller is granted, and what the open is checked
   for whatever the caller asked (the library asks for nothing):
   FILE_ALL_ACCESS, and FILE_READ_DATA | FILE_WRITE_DATA. */
#define D418_GRANTED_ACCESS 0x001F01FFu
#define D418_OPEN_ACCESS 0x00000003u

/* Nonzero when the IoBase value (its type, size and data) is one the
   driver starts with; *base then holds it. */
int D418CheckIoBase(uint32_t type, const void *data, uint32_t size, uint32_t *base);

/*
 * Parses the string form of a SID, "S-1-<authority>-<sub>[-<sub>...]", from
 * length UTF-16 code units (trailing NULs of a REG_SZ are ignored): revision
 * 1, the authority in decimal (at most 2^48 - 1), 1 to 15 subauthorities in
 * decimal, each at most 2^32 - 1, and nothing else. Writes the SID's bytes
 * to sid (D418_SID_MAX bytes) and returns their count, or 0 when the string
 * is malformed.
 */
size_t D418ParseSid(const uint16_t *text, size_t length, uint8_t *sid);

/* The same for the AllowedGroup value with its type: 0 when it is not a
   well-formed REG_SZ SID. */
size_t D418CheckAllowedGroup(uint32_t type, const void *data, uint32_t size, uint8_t *sid);

/*
 * Writes the device's self-relative security descriptor to out (size
 * bytes): owner Administrators, group SYSTEM, and a DACL that grants
 * D418_GRANTED_ACCESS to SYSTEM (S-1-5-18), Administrators (S-1-5-32-544)
 * and, when group is not null, that group. Returns the descriptor's size,
 * or 0 when it does not fit.
 */
size_t D418BuildDescriptor(const uint8_t *group, uint8_t *out, size_t size);

/* Builds the descriptor the driver checks opens against (group may be
   null). Returns 0 when the group is not a valid SID. */
int D418AccessConfigure(const uint8_t *group);

/* The descriptor D418AccessConfigure built. */
const uint8_t *D418AccessDescriptor(void);

/*
 * Decides an open of the device: STATUS_SUCCESS (0) or ACCESS_DENIED.
 * Refused: a name after the device's (name_length != 0), an open relative
 * to another file object, and a caller the descriptor does not grant
 * D418_OPEN_ACCESS. security_context is the create request's security
 * context; without one (Wine's create requests carry none, every NT
 * supplies one) the caller is admitted, as there is nothing to check.
 */
int32_t D418DecideOpen(uint32_t name_length, int relative, const void *security_context,
                       int user_mode);

/*
 * Whether the caller behind security_context is granted desired by the
 * self-relative descriptor: SeAccessCheck in the driver (config.c), a
 * stand-in in the host tests. user_mode is nonzero for a request from user
 * mode.
 */
int D418CallerAllowed(const void *security_context, int user_mode, const uint8_t *descriptor,
                      uint32_t desired);

#ifdef __cplusplus
}
#endif

#endif
