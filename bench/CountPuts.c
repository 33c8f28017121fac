/* Preloaded into a peer program by cost-report.py: counts the pictures it sends to the X server
 * (XPutImage and XShmPutImage calls) in a shared counter file named by $LV_COUNT_FILE, so that the report
 * can read frames per second from outside while the program runs. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static _Atomic unsigned long* counter(void) {
    static _Atomic unsigned long* pCount;
    static _Atomic unsigned long dummy;
    if (pCount == NULL) {
        const char* pszPath = getenv("LV_COUNT_FILE");
        int fd = pszPath != NULL ? open(pszPath, O_RDWR) : -1;
        void* p = fd >= 0 ? mmap(NULL, sizeof(unsigned long), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                          : MAP_FAILED;
        pCount = p != MAP_FAILED ? (_Atomic unsigned long*)p : &dummy;
        if (fd >= 0) {
            close(fd);
        }
    }
    return pCount;
}

typedef int (*PutImageFn)(void*, unsigned long, void*, void*, int, int, int, int, unsigned, unsigned);
typedef int (*ShmPutImageFn)(void*, unsigned long, void*, void*, int, int, int, int, unsigned, unsigned,
                             int);

int XPutImage(void* d, unsigned long w, void* gc, void* img, int sx, int sy, int dx, int dy, unsigned cx,
              unsigned cy) {
    static PutImageFn pfnNext;
    if (pfnNext == NULL) {
        pfnNext = (PutImageFn)dlsym(RTLD_NEXT, "XPutImage");
    }
    atomic_fetch_add(counter(), 1);
    return pfnNext(d, w, gc, img, sx, sy, dx, dy, cx, cy);
}

int XShmPutImage(void* d, unsigned long w, void* gc, void* img, int sx, int sy, int dx, int dy, unsigned cx,
                 unsigned cy, int sendEvent) {
    static ShmPutImageFn pfnNext;
    if (pfnNext == NULL) {
        pfnNext = (ShmPutImageFn)dlsym(RTLD_NEXT, "XShmPutImage");
    }
    atomic_fetch_add(counter(), 1);
    return pfnNext(d, w, gc, img, sx, sy, dx, dy, cx, cy, sendEvent);
}
