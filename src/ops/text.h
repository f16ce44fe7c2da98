// A text of the window: written here in UTF-8, as a translator reads it (each
// is marked for Qt Linguist's extraction), and handed to the controls and the
// info log in code page 936, their encoding, converted once at first use.
#pragma once

#include <mutex>
#include <string>

#include "proto/cp936.h"

// Marks a text for extraction where Qt is not included; translates nothing.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace vornik::text {

class Text {
public:
    explicit Text(const char* utf8) : m_utf8(utf8) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    const char* Utf8() const { return m_utf8; }
    // A character without a code page 936 form becomes '?'; a test holds
    // every text of the window to converting whole.
    const std::string& Cp936() const
    {
        std::call_once(m_once, [this] { m_cp936 = Cp936FromUtf8Lossy(m_utf8); });
        return m_cp936;
    }
    operator const std::string&() const { return Cp936(); }

private:
    const char* m_utf8;
    mutable std::once_flag m_once;
    mutable std::string m_cp936;
};

// A text of the window's own that is not kept as a Text (a label built from
// parts): converted where it is used.
inline std::string Cp936(const char* utf8) { return Cp936FromUtf8Lossy(utf8); }
inline std::string Cp936(const std::string& utf8) { return Cp936FromUtf8Lossy(utf8); }

} // namespace vornik::text
