/*
 * A host that misbehaves, for the tool's side of the frames: it answers the load properly, then answers the first
 * call as BADHOST_MODE says: "grande" a frame longer than any frame may be, "cortado" half a frame and an exit,
 * "ordem" a reply to another request, "lixo" a reply of the right length that is not a reply.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int readAll(char* to, size_t length)
{
    while (length > 0) {
        ssize_t got = read(0, to, length);
        if (got <= 0)
            return 0;
        to += got;
        length -= (size_t)got;
    }
    return 1;
}

static void put32(unsigned char* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = (unsigned char)(value >> (8 * i));
}

static uint32_t get32(const unsigned char* at)
{
    return (uint32_t)at[0] | (uint32_t)at[1] << 8 | (uint32_t)at[2] << 16 | (uint32_t)at[3] << 24;
}

/* Reads a request, and returns its sequence number. */
static uint32_t request(void)
{
    unsigned char header[4];
    static char payload[1 << 22];
    if (!readAll((char*)header, 4) || get32(header) > sizeof payload || !readAll(payload, get32(header)))
        exit(0);
    return get32((const unsigned char*)payload + 1);
}

int main(void)
{
    const char* mode = getenv("BADHOST_MODE");
    /* Loaded: type 2, sequence, loaded 1, empty error, every function, CodigoErro, not the emulator. */
    unsigned char loaded[4 + 1 + 4 + 1 + 4 + 4 + 1 + 1];
    put32(loaded, sizeof loaded - 4);
    loaded[4] = 2;
    put32(loaded + 5, request());
    loaded[9] = 1;
    put32(loaded + 10, 0);
    put32(loaded + 14, 0xffff);
    loaded[18] = 1;
    loaded[19] = 0;
    write(1, loaded, sizeof loaded);

    const uint32_t sequence = request();
    unsigned char reply[4 + 315];
    memset(reply, 0, sizeof reply);
    if (mode && strcmp(mode, "grande") == 0) {
        put32(reply, 0x7fffffff);
        write(1, reply, 8);
        pause();
    } else if (mode && strcmp(mode, "cortado") == 0) {
        put32(reply, 400);
        reply[4] = 4;
        write(1, reply, 20);
        return 0;
    } else if (mode && strcmp(mode, "ordem") == 0) {
        /* A well-formed answer, empty, to a request never made. */
        put32(reply, 315);
        reply[4] = 4;
        put32(reply + 5, sequence + 7);
        write(1, reply, sizeof reply);
        pause();
    } else {
        put32(reply, 12);
        reply[4] = 4;
        put32(reply + 5, sequence);
        reply[9] = 9;
        write(1, reply, 16);
        pause();
    }
    return 0;
}
