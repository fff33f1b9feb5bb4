// Prints the response that opens the firmware window for the key the tuner shows.
#include "reflashaccess.h"

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: reflash-response KEY\n"
                             "Prints the response to the key shown by Communication, Reflash (1 to 100000).\n");
        return 2;
    }
    const char *text = argv[1];
    long key = 0;
    for (const char *p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || key > ReflashAccess::MaxKey) {
            key = -1;
            break;
        }
        key = key * 10 + (*p - '0');
    }
    if (key < ReflashAccess::MinKey || key > ReflashAccess::MaxKey) {
        std::fprintf(stderr, "reflash-response: the key is a whole number from 1 to 100000, not \"%s\"\n", text);
        return 2;
    }
    std::printf("%d\n", int(ReflashAccess::Response(qint32(key))));
    return 0;
}
