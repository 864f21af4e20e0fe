/* Test fixture only, never part of the product: Wine's serial layer asks a COM port for its
 * modem lines (TIOCMGET and friends) before it waits for a character, and a Linux
 * pseudo-terminal rejects those requests. Preloaded into Wine for the serial test, this answers
 * them for pseudo-terminal descriptors as a quiet, connected line would (DSR, CTS and carrier
 * up, no line changes), and passes every other request through untouched. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <linux/serial.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* Both ends of a Unix98 pseudo-terminal: the slaves (majors 136-143) and /dev/ptmx (5, 2). */
static int is_pty(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  unsigned int maj = major(st.st_rdev);
  return (maj >= 136 && maj <= 143) || (maj == 5 && minor(st.st_rdev) == 2);
}

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real_ioctl;
  va_list args;
  va_start(args, request);
  void *arg = va_arg(args, void *);
  va_end(args);
  if (!real_ioctl) real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

  int saved = errno;
  int rc = real_ioctl(fd, request, arg);
  if (rc != -1 || !is_pty(fd)) return rc;
  switch (request) {
    case TIOCMGET:
      *(int *)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
      break;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
      break;
    case TIOCGICOUNT:
      memset(arg, 0, sizeof(struct serial_icounter_struct));
      break;
    default:
      return rc;
  }
  errno = saved;
  return 0;
}
