/* The dependency of dependent.c, built where the loader never looks. */
#define EXPORT __attribute__((visibility("default")))

EXPORT const char* satDependencyAnswer(int s)
{
    (void)s;
    return "0|08000|SAT em operacao||";
}
