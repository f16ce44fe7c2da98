// Prints the ANSI and OEM code pages the process runs with, so that a test
// under wine can tell which code page its cases really had.
#include <cstdio>

#include <windows.h>

int main()
{
    std::printf("%u %u\n", GetACP(), GetOEMCP());
    return 0;
}
