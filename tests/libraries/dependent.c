/* A library that needs another one the machine does not have, as a vendor's library needs its own libusb. */
#define EXPORT __attribute__((visibility("default")))

const char* satDependencyAnswer(int s);

EXPORT const char* ConsultarSAT(int s)
{
    return satDependencyAnswer(s);
}
