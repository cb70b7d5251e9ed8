/* A library whose every function answers a null pointer, and which has no CodigoErro. */
#include <stddef.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT const char* ConsultarSAT(int s)
{
    (void)s;
    return NULL;
}

EXPORT const char* ConsultarStatusOperacional(int s, const char* code)
{
    (void)s, (void)code;
    return NULL;
}

EXPORT const char* EnviarDadosVenda(int s, const char* code, const char* doc)
{
    (void)s, (void)code, (void)doc;
    return NULL;
}

/* An empty answer, which without CodigoErro says nothing either. */
EXPORT const char* BloquearSAT(int s, const char* code)
{
    (void)s, (void)code;
    return "";
}
