/* A library that crashes while it loads, in a constructor of its own, as a build against the wrong dependency does. */
#include <signal.h>

#define EXPORT __attribute__((visibility("default")))

__attribute__((constructor)) static void start(void)
{
    raise(SIGSEGV);
}

EXPORT const char* ConsultarSAT(int s)
{
    (void)s;
    return "0|08000|SAT em operacao||";
}
