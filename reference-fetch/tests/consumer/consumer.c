/* Links against the installed library and calls both exports. */
#include <fetchorb.h>

#include <stdio.h>

int main(void) {
    uint32_t size = 0;
    /* Without a first buffer the call fails at once, touching nothing. */
    if (Fetchorb(NULL, 0, NULL, NULL, &size, NULL, NULL) != FETCHORB_FAILED)
        return 1;
    if (DllEntryPoint(NULL, 0, NULL) != 1)
        return 1;
    puts("consumer: ok");
    return 0;
}
