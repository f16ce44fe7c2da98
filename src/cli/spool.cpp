#include "cli/spool.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vornik::cli {

namespace {

std::FILE* TemporaryFile()
{
#ifdef _WIN32
    // The C runtime's tmpfile() makes its file in the drive's root, which a
    // user may not write; the user's temporary folder is theirs. "D" removes
    // the file when it is closed, whatever ends the program.
    wchar_t folder[MAX_PATH + 1], path[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH || !GetTempFileNameW(folder, L"vkr", 0, path)) return nullptr;
    std::FILE* file = _wfopen(path, L"w+bTD");
    if (!file) DeleteFileW(path);
    return file;
#else
    return std::tmpfile();
#endif
}

// Hands `take` the first `size` bytes of `file` a chunk at a time; how many
// it could read.
template <typename Take>
size_t ReadBack(std::FILE* file, size_t size, const Take& take)
{
    std::rewind(file);
    char chunk[65536];
    size_t done = 0;
    for (size_t got; done < size && (got = std::fread(chunk, 1, std::min(sizeof chunk, size - done), file)) > 0;
         done += got)
        take(chunk, got);
    return done;
}

} // namespace

Spool::Spool(std::FILE* (*makeFile)()) : m_makeFile(makeFile ? makeFile : TemporaryFile) {}

Spool::~Spool()
{
    if (m_file) std::fclose(m_file);
}

void Spool::Write(std::string_view text)
{
    if (!m_file) {
        m_held.append(text);
        if (m_held.size() < IN_MEMORY || m_noFile) return;
        m_file = m_makeFile();
        if (!m_file) {
            m_noFile = true;
            return;
        }
        text = m_held;
    }
    // Flushed each time, so that a full disk is known here, while what the
    // file holds is still known to be whole: the report is not cut short,
    // it only stays in memory from then on.
    if (std::fwrite(text.data(), 1, text.size(), m_file) == text.size() && std::fflush(m_file) == 0) {
        m_inFile += text.size();
        if (text.data() == m_held.data()) std::string().swap(m_held);
        return;
    }
    std::string kept;
    m_lost = ReadBack(m_file, m_inFile, [&](const char* bytes, size_t n) { kept.append(bytes, n); }) < m_inFile;
    std::fclose(m_file);
    m_file = nullptr;
    m_noFile = true;
    kept.append(text); // from m_held when the file was new, and then nothing else is held
    m_held = std::move(kept);
}

bool Spool::CopyTo(std::ostream& out)
{
    bool whole = !m_lost;
    if (m_file) {
        const auto write = [&](const char* bytes, size_t n) { out.write(bytes, std::streamsize(n)); };
        whole = ReadBack(m_file, m_inFile, write) == m_inFile && whole;
        std::fclose(m_file);
        m_file = nullptr;
        m_inFile = 0;
    }
    out.write(m_held.data(), std::streamsize(m_held.size()));
    std::string().swap(m_held);
    m_lost = false;
    return whole;
}

} // namespace vornik::cli
