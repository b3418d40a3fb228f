/* A C program that links Fetchorb.dll through its import library, as a Windows
 * caller does, and makes one call:
 *   fetchorb_client HOST PORT FACTORY
 * It prints the result code, then the two strings on lines of their own, and
 * exits with the result code. */
#include <fetchorb.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    char first[256] = "";
    char second[256] = "";
    uint32_t firstSize = sizeof first;
    uint32_t secondSize = sizeof second;
    int32_t rc;
    if (argc != 4) {
        fputs("usage: fetchorb_client HOST PORT FACTORY\n", stderr);
        return 64;
    }
    rc = Fetchorb(argv[1], atoi(argv[2]), argv[3], first, &firstSize, second, &secondSize);
    printf("%d\n%s\n%s\n", (int)rc, first, second);
    /* The sizes count the terminator. */
    if (rc == FETCHORB_OK && (firstSize == 0 || first[firstSize - 1] != 0 || second[secondSize - 1] != 0))
        return 3;
    return (int)rc;
}
