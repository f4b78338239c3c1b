// Linked into the test programs only in a ThreadSanitizer build (HALVORIX_TSAN).
//
// QProcess starts a program the vfork way: clone() with CLONE_VM, the child running in the
// parent's memory until it execs. The sanitizer's clone() wrapper treats every child as a fork
// and, in the child, resets its own bookkeeping of threads and locks, which with CLONE_VM is the
// parent's: every lock taken before the start is forgotten, and the first worker thread to run
// after a card image was made reports a race on data its lock guards. Here the child gets a copy
// of the memory instead (CLONE_VFORK stays: the parent still waits for the exec), the way the
// sanitizer already turns vfork() into fork(). Threads (CLONE_THREAD) pass through unchanged.
#if defined(__SANITIZE_THREAD__)

#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

extern "C" int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    va_list rest;
    va_start(rest, arg);
    pid_t *parentTid = va_arg(rest, pid_t *);
    void *tls = va_arg(rest, void *);
    pid_t *childTid = va_arg(rest, pid_t *);
    va_end(rest);
    using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
    // The next clone() is the sanitizer's, which handles a fork correctly.
    static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
    if ((flags & CLONE_VM) && !(flags & CLONE_THREAD))
        flags &= ~CLONE_VM;
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}

#endif
