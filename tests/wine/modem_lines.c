/* Preloaded into a Wine process (LD_PRELOAD) so that a Linux pseudo-terminal behaves like a
 * serial port with modem lines. A pty refuses the modem-line requests TIOCMGET, TIOCMSET,
 * TIOCMBIS and TIOCMBIC, and Wine then fails GetCommModemStatus, EscapeCommFunction and
 * every WaitCommEvent. For a pty only, this library answers them itself:
 *   - the output lines (DTR, RTS) are what the program last set;
 *   - the input lines (CTS, DSR, CD, RI) are read, at every request, from the file named by
 *     VARNIX_MODEM_LINES when it is set: one decimal number of TIOCM_* bits, so a test can
 *     raise carrier or ring while the program waits. Without the file they are all off.
 *   - with VARNIX_MODEM_LINES set, the output lines are written back to the file with the
 *     input lines, so a test can see what the program set.
 * Every other request, and every request on anything but a pty, goes to the system. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#define OUTPUT_LINES (TIOCM_DTR | TIOCM_RTS)
#define INPUT_LINES (TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RNG)

typedef int (*ioctl_function)(int, unsigned long, ...);

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_once_t found_once = PTHREAD_ONCE_INIT;
static ioctl_function system_ioctl;

static void find_system_ioctl(void) {
    /* The POSIX way to keep a function found by dlsym. */
    *(void**)&system_ioctl = dlsym(RTLD_NEXT, "ioctl");
}
static int output_lines; /* off until the program sets them */

/* A pseudo-terminal's terminal end: /dev/pts/N (Unix 98 pty majors 136 to 143). */
static int is_pty(int fd) {
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return 0;
    }
    const unsigned int m = major(info.st_rdev);
    return m >= 136 && m <= 143;
}

/* Reads the input lines from the lines file; none when there is no file. An empty file is
 * one being rewritten by the test: the lines read last stay. With `store`, writes the
 * output lines back. */
static int exchange_file(int outputs, int store) {
    static int inputs_read;
    const char* path = getenv("VARNIX_MODEM_LINES");
    if (path == NULL || *path == '\0') {
        return 0;
    }
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    flock(fd, LOCK_EX);
    char text[32] = {0};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    int lines = got > 0 ? (int)strtol(text, NULL, 10) : inputs_read;
    inputs_read = lines & INPUT_LINES;
    if (store) {
        lines = (lines & INPUT_LINES) | (outputs & OUTPUT_LINES);
        const int length = snprintf(text, sizeof text, "%d\n", lines);
        if (ftruncate(fd, 0) != 0 || pwrite(fd, text, (size_t)length, 0) != length) {
            /* The program's view stays right; only the test's view of it is stale. */
        }
    }
    flock(fd, LOCK_UN);
    close(fd);
    return lines & INPUT_LINES;
}

static int modem_request(unsigned long request, int* bits) {
    pthread_mutex_lock(&lock);
    int store = 1;
    switch (request) {
        case TIOCMGET:
            store = 0;
            break;
        case TIOCMSET:
            output_lines = *bits & OUTPUT_LINES;
            break;
        case TIOCMBIS:
            output_lines |= *bits & OUTPUT_LINES;
            break;
        case TIOCMBIC:
            output_lines &= ~*bits & OUTPUT_LINES;
            break;
    }
    const int inputs = exchange_file(output_lines, store);
    if (request == TIOCMGET) {
        *bits = output_lines | inputs;
    }
    pthread_mutex_unlock(&lock);
    return 0;
}

int ioctl(int fd, unsigned long request, ...) {
    pthread_once(&found_once, find_system_ioctl);
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    const int is_modem_request =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (is_modem_request && argument != NULL && is_pty(fd)) {
        return modem_request(request, (int*)argument);
    }
    return system_ioctl(fd, request, argument);
}
