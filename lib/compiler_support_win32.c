/* The block copy and fill that the compiler calls for (structure copies,
   the reply's payload), for the Windows build, which links no C run time.
   Each is one string instruction, which every x86 down to the 386 has; no
   loop here that the compiler could turn back into a call to itself. */
#include <stddef.h>

void *memcpy(void *destination, const void *source, size_t count) {
    void *d = destination;
    __asm__ __volatile__("rep movsb"
                         : "+D"(d), "+S"(source), "+c"(count)
                         :
                         : "memory");
    return destination;
}

void *memset(void *destination, int value, size_t count) {
    void *d = destination;
    __asm__ __volatile__("rep stosb"
                         : "+D"(d), "+c"(count)
                         : "a"(value)
                         : "memory");
    return destination;
}
