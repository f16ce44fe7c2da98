// The spool a report waits in: whatever happens to its file (none can be
// made, the disk fills half way), what comes out is every byte put in, in
// order, once.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "cli/spool.h"

namespace vornik::cli {
namespace {

std::FILE* NoFile() { return nullptr; }

// A file that takes no byte: opened for reading only.
std::FILE* ReadOnlyFile()
{
    static const std::string path = testing::TempDir() + "spool-read-only";
    std::fclose(std::fopen(path.c_str(), "wb"));
    return std::fopen(path.c_str(), "rb");
}

#ifndef _WIN32
// A "disk" that fills after 300 KiB: the spool's first writes to it succeed, a later one fails.
std::FILE* SmallDisk()
{
    static char disk[300 * 1024];
    return fmemopen(disk, sizeof disk, "w+");
}
#endif

struct Case {
    const char* name;
    std::FILE* (*makeFile)();
    size_t pieces; // of 1,000 bytes each, every one different
    bool inFile;   // where the spool holds them in the end
};

TEST(Spool, GivesBackEveryByteInOrderWhereverItKeptThem)
{
    const std::vector<Case> cases = {
        {"nothing", nullptr, 0, false},
        {"a short report stays in memory", nullptr, 20, false},
        {"a long report goes to a file", nullptr, 2000, true},
        {"no file can be made", NoFile, 2000, false},
        {"the file takes nothing", ReadOnlyFile, 2000, false},
#ifndef _WIN32
        {"the disk fills half way", SmallDisk, 2000, false},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Spool spool(c.makeFile);
        std::string expected;
        for (size_t k = 0; k < c.pieces; ++k) {
            std::string piece = "piece " + std::to_string(k) + ":";
            piece.resize(1000, char('a' + k % 26));
            expected += piece;
            spool.Write(piece);
        }
        EXPECT_EQ(spool.InFile(), c.inFile);
        std::ostringstream out;
        spool.CopyTo(out);
        ASSERT_EQ(out.str().size(), expected.size());
        EXPECT_TRUE(out.str() == expected) << "the bytes differ";
        std::ostringstream again;
        spool.CopyTo(again);
        EXPECT_EQ(again.str(), "") << "given once";
    }
}

} // namespace
} // namespace vornik::cli
