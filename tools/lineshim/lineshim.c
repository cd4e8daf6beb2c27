/* Line shim: preloaded into Wine (programs and wineserver) so that a pseudo-terminal that a
 * simulated board serves behaves like a serial port in two ways a pseudo-terminal cannot:
 *
 *  - Modem lines. The modem-control ioctls (TIOCMGET, TIOCMSET, TIOCMBIS, TIOCMBIC) succeed and
 *    keep the RTS/DTR state per descriptor. Each call, and each flush (PurgeComm), is reported
 *    with a CLOCK_MONOTONIC timestamp to the board's datagram socket, so the board knows the
 *    line state while bytes come in and tests can check the half-duplex timeline.
 *  - Exclusive open. A second open of the same port fails with EACCES while the first is held,
 *    as a serial port on Windows does (Wine turns it into ERROR_ACCESS_DENIED). Native programs
 *    lock their port themselves, and this lock would hide theirs: KORVEX_SHIM_EXCLUSIVE=0 turns
 *    it off, and every open of the port then reaches the program as the system gave it.
 *  - The host's own serial devices. With KORVEX_HIDE_HOST_PORTS=1, /dev/ttyS*, /dev/ttyUSB* and
 *    /dev/ttyACM* read as absent to access(), which Wine's device manager asks before it gives
 *    such a device a COM port: no program of the rig's prefix ever writes to the machine's own
 *    ports, and the system's port list holds only the ports the rig registers.
 *
 * Only pseudo-terminals with a board socket "<lines dir>/pts-N.sock" are touched; everything
 * else passes straight to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { MAX_FDS = 4096 };

/* Modem bits per descriptor; IN_USE marks an entry in use. A new descriptor starts with every
 * line down, as a port does before anyone raises one. */
static int modem_bits[MAX_FDS];
#define IN_USE (1 << 30)

static int board_socket_path(int fd, struct sockaddr_un* addr) {
    char link[64], target[256];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = 0;
    if (strncmp(target, "/dev/pts/", 9) != 0)
        return 0;
    const char* dir = getenv("KORVEX_LINES_DIR");
    if (!dir || !*dir)
        return 0;
    memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    int len = snprintf(addr->sun_path, sizeof addr->sun_path, "%s/pts-%s.sock", dir, target + 9);
    if (len <= 0 || (size_t)len >= sizeof addr->sun_path)
        return 0;
    return access(addr->sun_path, F_OK) == 0;
}

static long long monotonic_ns(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

static void report(const struct sockaddr_un* addr, const char* event, int bits) {
    char msg[128];
    int len = snprintf(msg, sizeof msg, "%s %lld %d %d\n", event, monotonic_ns(),
                       (bits & TIOCM_RTS) ? 1 : 0, (bits & TIOCM_DTR) ? 1 : 0);
    int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return;
    sendto(s, msg, (size_t)len, MSG_DONTWAIT, (const struct sockaddr*)addr, sizeof *addr);
    close(s);
}

static int modem_ioctl(int fd, unsigned long request, int* arg, int* handled) {
    struct sockaddr_un addr;
    *handled = 0;
    if (request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        return 0;
    if (fd < 0 || fd >= MAX_FDS || !board_socket_path(fd, &addr))
        return 0;
    *handled = 1;
    if (!arg) {
        errno = EFAULT;
        return -1;
    }
    int bits = __atomic_load_n(&modem_bits[fd], __ATOMIC_SEQ_CST) & ~IN_USE;
    switch (request) {
    case TIOCMGET:
        *arg = bits;
        return 0;
    case TIOCMSET:
        bits = *arg;
        break;
    case TIOCMBIS:
        bits |= *arg;
        break;
    case TIOCMBIC:
        bits &= ~*arg;
        break;
    }
    __atomic_store_n(&modem_bits[fd], bits | IN_USE, __ATOMIC_SEQ_CST);
    report(&addr, "line", bits);
    return 0;
}

#define FORWARD_IOCTL(name)                                                                        \
    int name(int fd, unsigned long request, ...) {                                                 \
        static int (*real)(int, unsigned long, void*);                                             \
        va_list ap;                                                                                \
        va_start(ap, request);                                                                     \
        void* arg = va_arg(ap, void*);                                                             \
        va_end(ap);                                                                                \
        int handled;                                                                               \
        int rc = modem_ioctl(fd, request, (int*)arg, &handled);                                    \
        if (handled)                                                                               \
            return rc;                                                                             \
        if (!real)                                                                                 \
            real = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, #name);                    \
        if (!real) {                                                                               \
            errno = ENOSYS;                                                                        \
            return -1;                                                                             \
        }                                                                                          \
        return real(fd, request, arg);                                                             \
    }

FORWARD_IOCTL(ioctl)
#if defined(__i386__)
/* Debian's 32-bit Wine is built with a 64-bit time_t and calls this name instead. */
FORWARD_IOCTL(__ioctl_time64)
#endif

int tcflush(int fd, int queue) {
    static int (*real)(int, int);
    if (!real)
        real = (int (*)(int, int))dlsym(RTLD_NEXT, "tcflush");
    int rc = real ? real(fd, queue) : -1;
    struct sockaddr_un addr;
    if (rc == 0 && fd >= 0 && fd < MAX_FDS && board_socket_path(fd, &addr))
        report(&addr, "purge", __atomic_load_n(&modem_bits[fd], __ATOMIC_SEQ_CST));
    return rc;
}

/* Whether a second open of a port is refused (KORVEX_SHIM_EXCLUSIVE is not "0"). */
static int exclusive_open(void) {
    const char* exclusive = getenv("KORVEX_SHIM_EXCLUSIVE");
    return !exclusive || strcmp(exclusive, "0") != 0;
}

/* After a successful open of a board's pseudo-terminal: take the exclusive lock or refuse. */
static int claim(int fd) {
    struct sockaddr_un addr;
    if (fd < 0 || fd >= MAX_FDS || !board_socket_path(fd, &addr))
        return fd;
    const int free = flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (exclusive_open() && !free) {
        close(fd);
        errno = EACCES;
        return -1;
    }
    __atomic_store_n(&modem_bits[fd], IN_USE, __ATOMIC_SEQ_CST);
    if (!exclusive_open()) {
        /* The program takes its own lock; a second holder's open, which the program will give
         * up, is no new session on the line and is not reported. */
        if (!free)
            return fd;
        flock(fd, LOCK_UN);
    }
    report(&addr, "open", 0);
    return fd;
}

#define FORWARD_OPEN(name)                                                                         \
    int name(const char* path, int flags, ...) {                                                   \
        static int (*real)(const char*, int, ...);                                                 \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;                    \
        va_end(ap);                                                                                \
        if (!real)                                                                                 \
            real = (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, #name);                        \
        return claim(real(path, flags, mode));                                                     \
    }

#define FORWARD_OPENAT(name)                                                                       \
    int name(int dirfd, const char* path, int flags, ...) {                                        \
        static int (*real)(int, const char*, int, ...);                                            \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(ap, mode_t) : 0;                    \
        va_end(ap);                                                                                \
        if (!real)                                                                                 \
            real = (int (*)(int, const char*, int, ...))dlsym(RTLD_NEXT, #name);                   \
        return claim(real(dirfd, path, flags, mode));                                              \
    }

/* A closed descriptor forgets its lines, so a later descriptor of that number starts clean. */
int close(int fd) {
    static int (*real)(int);
    if (!real)
        real = (int (*)(int))dlsym(RTLD_NEXT, "close");
    if (fd >= 0 && fd < MAX_FDS)
        __atomic_store_n(&modem_bits[fd], 0, __ATOMIC_SEQ_CST);
    return real(fd);
}

static int is_host_port(const char* path) {
    static const char* const prefixes[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
    const char* hide = getenv("KORVEX_HIDE_HOST_PORTS");
    if (!path || !hide || strcmp(hide, "1") != 0)
        return 0;
    for (size_t i = 0; i < sizeof prefixes / sizeof prefixes[0]; ++i)
        if (strncmp(path, prefixes[i], strlen(prefixes[i])) == 0)
            return 1;
    return 0;
}

int access(const char* path, int mode) {
    static int (*real)(const char*, int);
    if (is_host_port(path)) {
        errno = ENOENT;
        return -1;
    }
    if (!real)
        real = (int (*)(const char*, int))dlsym(RTLD_NEXT, "access");
    return real(path, mode);
}

FORWARD_OPEN(open)
FORWARD_OPEN(open64)
FORWARD_OPENAT(openat)
FORWARD_OPENAT(openat64)
