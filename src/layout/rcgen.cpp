// Writes the Windows window's resource script from the layout table.
//   vornik_rcgen OUT.rc PROGRAM.ico WRITE.ico DEFAULTS.ico
#include <cstdio>
#include <fstream>

#include "layout/rc_script.h"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: vornik_rcgen OUT.rc PROGRAM.ico WRITE.ico DEFAULTS.ico\n");
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary);
    out << vornik::layout::ResourceScript({argv[2], argv[3], argv[4]});
    out.close();
    if (!out) {
        std::fprintf(stderr, "vornik_rcgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
