#include "cli/console.h"

#include <iostream>
#include <streambuf>
#include <string>

#include <windows.h>

#include "proto/file_name.h"

namespace vornik::cli {

namespace {

class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(DWORD which) : m_handle(GetStdHandle(which))
    {
        DWORD mode = 0;
        m_console = m_handle != INVALID_HANDLE_VALUE && m_handle && GetConsoleMode(m_handle, &mode);
    }

protected:
    int_type overflow(int_type c) override
    {
        if (!traits_type::eq_int_type(c, traits_type::eof())) m_pending.push_back(traits_type::to_char_type(c));
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        m_pending.append(s, size_t(n));
        return n;
    }

    int sync() override { return Flush() ? 0 : -1; }

private:
    bool Flush()
    {
        if (m_pending.empty()) return true;
        if (!m_console) {
            // CRLF, as the C runtime's text mode wrote it before and as
            // Notepad and the other Windows tools read a saved output.
            std::string lines;
            lines.reserve(m_pending.size() + m_pending.size() / 16);
            for (char c : m_pending) {
                if (c == '\n') lines.push_back('\r');
                lines.push_back(c);
            }
            m_pending.clear();
            return WriteAll(lines.data(), lines.size());
        }
        // A character split between two writes waits for its other bytes.
        size_t whole = m_pending.size();
        size_t back = 0;
        while (back < 3 && back < whole && (uint8_t(m_pending[whole - 1 - back]) & 0xC0) == 0x80) ++back;
        if (back < whole) {
            const uint8_t lead = uint8_t(m_pending[whole - 1 - back]);
            const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (length > back + 1) whole -= back + 1;
        }
        const std::wstring wide = WideFromUtf8(std::string_view(m_pending).substr(0, whole));
        m_pending.erase(0, whole);
        DWORD written = 0;
        for (size_t at = 0; at < wide.size(); at += written)
            if (!WriteConsoleW(m_handle, wide.data() + at, DWORD(wide.size() - at), &written, nullptr) || !written)
                return false;
        return true;
    }

    bool WriteAll(const char* data, size_t size)
    {
        DWORD written = 0;
        for (size_t at = 0; at < size; at += written)
            if (!WriteFile(m_handle, data + at, DWORD(size - at), &written, nullptr) || !written) return false;
        return true;
    }

    HANDLE m_handle;
    bool m_console = false;
    std::string m_pending;
};

} // namespace

void UseUnicodeConsole()
{
    // Never freed: std::cout is flushed at exit, after every static of ours is gone.
    std::cout.flush();
    std::cerr.flush();
    std::cout.rdbuf(new ConsoleBuffer(STD_OUTPUT_HANDLE));
    std::cerr.rdbuf(new ConsoleBuffer(STD_ERROR_HANDLE));
}

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    bool options = true;
    for (int i = 0; i < argc; ++i) {
        std::string a = Utf8FromWide(argv[i]);
        if (a == "--") options = false;
        if (options && i > 0 && a == "/?") a = "--help";
        args.push_back(std::move(a));
    }
    return args;
}

} // namespace vornik::cli
