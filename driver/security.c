/* security.c - the driver's configuration checks, its security descriptor
   and the decision on each open; see security.h. No kernel headers: the
   host tests build this file as it is. */
#include "security.h"

/* Byte layouts, as NT defines them (all little endian but the SID's
   authority, which is big endian):
     SID        revision 1, subauthority count, authority (6), then 4 bytes
                per subauthority.
     ACL        revision 2, 0, size (2), ACE count (2), 0 (2); then the ACEs.
     ACE        type 0 (allowed), flags 0, size (2), mask (4), SID.
     descriptor revision 1, 0, control (2), then the offsets (4 each) of
                owner, group, SACL and DACL from its start. */
#define SID_HEADER 8u
#define SID_MAX_SUBAUTHORITIES 15u
#define ACL_HEADER 8u
#define ACE_HEADER 8u
#define DESCRIPTOR_HEADER 20u
#define SE_DACL_PRESENT 0x0004u
#define SE_SELF_RELATIVE 0x8000u

static const uint8_t sid_system[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
static const uint8_t sid_administrators[16] = {1, 2, 0, 0, 0, 0, 0, 5,
                                               32, 0, 0, 0, 0x20, 2, 0, 0};

/* Room for the largest descriptor: header, owner, group, ACL and three ACEs
   (the last with a SID of 15 subauthorities). Kept as 32-bit words so that
   it is aligned as the kernel expects. */
static uint32_t descriptor_words[64];

static void put16(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

static void put32(uint8_t *p, uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

static uint32_t get32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
           ((uint32_t)p[3] << 24);
}

/* A SID's size from its header, or 0 when it is not one this driver
   builds (revision 1, 1 to 15 subauthorities). */
static size_t sid_size(const uint8_t *sid)
{
    if (sid[0] != 1 || sid[1] == 0 || sid[1] > SID_MAX_SUBAUTHORITIES)
        return 0;
    return SID_HEADER + 4u * sid[1];
}

static void copy_bytes(uint8_t *to, const uint8_t *from, size_t count)
{
    size_t i;
    for (i = 0; i < count; i++)
        to[i] = from[i];
}

int D418CheckIoBase(uint32_t type, const void *data, uint32_t size, uint32_t *base)
{
    uint32_t value;
    if (type != D418_REG_DWORD || size != 4 || !data)
        return 0;
    value = get32((const uint8_t *)data);
    if (value < D418_BASE_LOWEST || value > D418_BASE_HIGHEST)
        return 0;
    *base = value;
    return 1;
}

/* Reads a decimal number from text[*at] up to the next '-' or the end; no
   sign, at least one digit, at most limit. Returns 0 when there is none. */
static int read_decimal(const uint16_t *text, size_t length, size_t *at, uint64_t limit,
                        uint64_t *value)
{
    size_t i = *at;
    uint64_t v = 0;
    if (i >= length || text[i] < '0' || text[i] > '9')
        return 0;
    for (; i < length && text[i] != '-'; i++) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        v = v * 10 + (uint64_t)(text[i] - '0');
        if (v > limit)
            return 0;
    }
    *at = i;
    *value = v;
    return 1;
}

size_t D418ParseSid(const uint16_t *text, size_t length, uint8_t *sid)
{
    size_t at = 2, count = 0, i;
    uint64_t value;

    if (!text)
        return 0;
    while (length > 0 && text[length - 1] == 0)
        length--;
    if (length < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-')
        return 0;
    if (!read_decimal(text, length, &at, 0xFFu, &value) || value != 1)
        return 0;
    if (at >= length || text[at] != '-')
        return 0;
    at++;
    if (!read_decimal(text, length, &at, 0xFFFFFFFFFFFFull, &value))
        return 0;
    sid[0] = 1;
    for (i = 0; i < 6; i++)
        sid[2 + i] = (uint8_t)(value >> (8 * (5 - i)));
    while (at < length) {
        /* text[at] is '-': read_decimal stops only there. */
        at++;
        if (count == SID_MAX_SUBAUTHORITIES ||
            !read_decimal(text, length, &at, 0xFFFFFFFFu, &value))
            return 0;
        put32(sid + SID_HEADER + 4 * count, (uint32_t)value);
        count++;
    }
    if (count == 0)
        return 0;
    sid[1] = (uint8_t)count;
    return SID_HEADER + 4 * count;
}

size_t D418CheckAllowedGroup(uint32_t type, const void *data, uint32_t size, uint8_t *sid)
{
    uint16_t text[256];
    const uint8_t *bytes = (const uint8_t *)data;
    uint32_t i, length = size / 2;

    if (type != D418_REG_SZ || !data || size % 2 != 0 || length > 256)
        return 0;
    /* The data may sit at any alignment: read it a byte at a time. */
    for (i = 0; i < length; i++)
        text[i] = (uint16_t)(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return D418ParseSid(text, length, sid);
}

/* Writes an allowed ACE for sid at p; returns its size. */
static size_t put_ace(uint8_t *p, const uint8_t *sid, size_t sid_length)
{
    size_t ace_size = ACE_HEADER + sid_length;
    p[0] = 0; /* ACCESS_ALLOWED_ACE_TYPE */
    p[1] = 0;
    put16(p + 2, (uint32_t)ace_size);
    put32(p + 4, D418_GRANTED_ACCESS);
    copy_bytes(p + ACE_HEADER, sid, sid_length);
    return ace_size;
}

size_t D418BuildDescriptor(const uint8_t *group, uint8_t *out, size_t size)
{
    size_t group_length = 0, owner_at, group_at, dacl_at, acl_size, total, at;
    uint32_t aces = 2;

    if (group) {
        group_length = sid_size(group);
        if (group_length == 0)
            return 0;
        aces = 3;
    }
    owner_at = DESCRIPTOR_HEADER;
    group_at = owner_at + sizeof sid_administrators;
    dacl_at = group_at + sizeof sid_system;
    acl_size = ACL_HEADER + (ACE_HEADER + sizeof sid_system) +
               (ACE_HEADER + sizeof sid_administrators) +
               (group ? ACE_HEADER + group_length : 0);
    total = dacl_at + acl_size;
    if (total > size)
        return 0;

    out[0] = 1; /* SECURITY_DESCRIPTOR_REVISION */
    out[1] = 0;
    put16(out + 2, SE_SELF_RELATIVE | SE_DACL_PRESENT);
    put32(out + 4, (uint32_t)owner_at);
    put32(out + 8, (uint32_t)group_at);
    put32(out + 12, 0); /* no SACL */
    put32(out + 16, (uint32_t)dacl_at);
    copy_bytes(out + owner_at, sid_administrators, sizeof sid_administrators);
    copy_bytes(out + group_at, sid_system, sizeof sid_system);

    at = dacl_at;
    out[at] = 2; /* ACL_REVISION */
    out[at + 1] = 0;
    put16(out + at + 2, (uint32_t)acl_size);
    put16(out + at + 4, aces);
    put16(out + at + 6, 0);
    at += ACL_HEADER;
    at += put_ace(out + at, sid_system, sizeof sid_system);
    at += put_ace(out + at, sid_administrators, sizeof sid_administrators);
    if (group)
        at += put_ace(out + at, group, group_length);
    return at;
}

int D418AccessConfigure(const uint8_t *group)
{
    return D418BuildDescriptor(group, (uint8_t *)descriptor_words, sizeof descriptor_words) != 0;
}

const uint8_t *D418AccessDescriptor(void)
{
    return (const uint8_t *)descriptor_words;
}

int32_t D418DecideOpen(uint32_t name_length, int relative, const void *security_context,
                       int user_mode)
{
    /* \\.\D418\anything and opens relative to another handle would, without
       FILE_DEVICE_SECURE_OPEN (NT 4.0 before SP5), skip the device's own
       check; the driver refuses them itself. */
    if (name_length != 0 || relative)
        return D418_STATUS_OPEN_DENIED;
    if (!security_context)
        return 0;
    if (!D418CallerAllowed(security_context, user_mode, D418AccessDescriptor(), D418_OPEN_ACCESS))
        return D418_STATUS_OPEN_DENIED;
    return 0;
}
