// Preloaded into vexlin-dump by a test: the first time the program opens the path named by
// VEXLIN_SWAP_PATH, the file named by VEXLIN_SWAP_WITH (a FIFO) is renamed over it just
// before the real open, as a rename race would do between a look at the path and the open.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <fcntl.h>

extern "C" {

static void SwapBefore(const char* path) {
    static bool done = false;
    const char* target = getenv("VEXLIN_SWAP_PATH");
    const char* with = getenv("VEXLIN_SWAP_WITH");
    if (!done && target && with && path && strcmp(path, target) == 0) {
        done = true;
        rename(with, target);
    }
}

#define VEXLIN_OPEN(name)                                                                        \
    int name(const char* path, int flags, ...) {                                                 \
        static auto real = reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, #name)); \
        va_list args;                                                                            \
        va_start(args, flags);                                                                   \
        const int mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, int) : 0;               \
        va_end(args);                                                                            \
        SwapBefore(path);                                                                        \
        return real(path, flags, mode);                                                          \
    }
VEXLIN_OPEN(open)
VEXLIN_OPEN(open64)

int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open64(path, flags); }

} // extern "C"
