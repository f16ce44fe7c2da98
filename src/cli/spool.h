// Text a command prints only once it is complete (a report whose counts come
// first), kept out of memory meanwhile: past a small size it goes to a
// temporary file, removed when the spool goes. Where no such file can be
// made it stays in memory, which costs memory but loses nothing.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

namespace vornik::cli {

class Spool {
public:
    // `makeFile` makes the temporary file (none: the system's own).
    explicit Spool(std::FILE* (*makeFile)() = nullptr);
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void Write(std::string_view text);
    // Everything written, in order; the spool is empty afterwards. False when
    // some of it was lost: its file could not be read back.
    bool CopyTo(std::ostream& out);
    bool InFile() const { return m_file != nullptr; }

    // What is held in memory before the file is made.
    static constexpr size_t IN_MEMORY = 256 * 1024;

private:
    std::FILE* (*m_makeFile)();
    std::string m_held;     // after what the file holds
    std::FILE* m_file = nullptr;
    size_t m_inFile = 0;    // bytes the file is known to hold
    bool m_noFile = false;  // the file failed once; not tried again
    bool m_lost = false;    // what the file held could not all be read back
};

} // namespace vornik::cli
