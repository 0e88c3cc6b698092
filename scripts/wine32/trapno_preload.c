/* An i386 preload object for 32-bit Wine under qemu-i386 (user mode).
 *
 * qemu hands a SIGSEGV handler a signal context whose fault number (trapno)
 * is -1. Wine's handler decides from that number what the fault was, so
 * under qemu every fault reads as an illegal instruction: a trapped in/out
 * never becomes a privileged-instruction exception and guard pages fail.
 *
 * This object wraps sigaction: a SIGSEGV handler that a program installs is
 * kept here, and a small handler of ours runs first, setting trapno from the
 * signal's si_code (a page fault for SEGV_MAPERR and SEGV_ACCERR, a general
 * protection fault for anything else) before calling it.
 *
 * Built freestanding for i386 with the host's compiler (no i386 headers are
 * needed), so the few structure layouts it touches are written out below,
 * as the i386 C library lays them out. It is named in the private root's
 * /etc/ld.so.preload.
 */

#define SIGSEGV 11
#define SA_SIGINFO 4
#define SEGV_MAPERR 1
#define SEGV_ACCERR 2
#define TRAP_PAGE_FAULT 14
#define TRAP_PROTECTION 13
#define RTLD_NEXT ((void *)-1l)

typedef void (*action_fn)(int, void *, void *);

/* struct sigaction: the handler, a 1024-bit mask, the flags, the restorer. */
struct i386_sigaction {
    void *handler;
    unsigned long mask[32];
    int flags;
    void *restorer;
};

/* siginfo_t begins with the signal number, errno value and code. */
struct i386_siginfo_head {
    int signo;
    int errno_value;
    int code;
};

/* ucontext_t: flags, link, the signal stack (3 words), then the general
 * registers; trapno is register 12. */
#define UCONTEXT_GREGS_OFFSET 20
#define REG_TRAPNO 12

extern void *dlsym(void *handle, const char *name);

typedef int (*sigaction_fn)(int, const struct i386_sigaction *, struct i386_sigaction *);

static action_fn wrapped_handler;

static void restore_trapno(int signo, void *info, void *context) {
    const struct i386_siginfo_head *head = (const struct i386_siginfo_head *)info;
    int *gregs = (int *)((char *)context + UCONTEXT_GREGS_OFFSET);
    if (head->code == SEGV_MAPERR || head->code == SEGV_ACCERR)
        gregs[REG_TRAPNO] = TRAP_PAGE_FAULT;
    else
        gregs[REG_TRAPNO] = TRAP_PROTECTION;
    wrapped_handler(signo, info, context);
}

int sigaction(int signo, const struct i386_sigaction *act, struct i386_sigaction *old) {
    static sigaction_fn real;
    if (!real) real = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
    if (signo != SIGSEGV) return real(signo, act, old);

    action_fn previous = wrapped_handler;
    int result;
    if (act && (act->flags & SA_SIGINFO)) {
        struct i386_sigaction ours = *act;
        wrapped_handler = (action_fn)act->handler;
        ours.handler = (void *)restore_trapno;
        result = real(signo, &ours, old);
        if (result != 0) wrapped_handler = previous;
    } else {
        result = real(signo, act, old);
    }
    /* The caller sees the handler it installed, not ours. */
    if (result == 0 && old && old->handler == (void *)restore_trapno) old->handler = (void *)previous;
    return result;
}
