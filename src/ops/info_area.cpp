#include "ops/info_area.h"

#include <algorithm>

#include "ops/control_ids.h"
#include "ops/texts.h"
#include "proto/text_conv.h"

namespace vornik {

void InfoArea::Refresh()
{
    // The area takes only what was added since its last refresh, so a reply
    // costs the same however long the log has grown. Anything else (a new
    // log, or one changed elsewhere) gives it the whole text again.
    const bool grewOnly = m_shownValid && !m_restarted && m_log.size() >= m_shownSize &&
                          m_log.compare(m_shownSize - m_shownEnd.size(), m_shownEnd.size(), m_shownEnd) == 0;
    if (grewOnly)
        m_main.AppendText(IDC_INFO, m_log.substr(m_shownSize));
    else
        m_main.SetText(IDC_INFO, m_log);
    m_shownValid = true;
    m_restarted = false;
    m_shownSize = m_log.size();
    const size_t end = std::min(m_log.size(), kEndCheck);
    m_shownEnd.assign(m_log, m_log.size() - end, end);
}

void InfoArea::Restart()
{
    m_log.clear();
    m_restarted = true;
    m_full = false;
}

void InfoArea::Start(const std::string& line936)
{
    m_log.assign(line936);
    m_restarted = true;
    m_full = false;
}

bool InfoArea::Room(size_t size)
{
    if (m_full) return false;
    if (m_log.size() + size <= m_limit) return true;
    m_full = true;
    m_log += text::kLogInfoFull.Cp936();
    return false;
}

void InfoArea::Add(const std::string& text936)
{
    if (Room(text936.size())) m_log += text936;
}

void InfoArea::AddMacLine(const std::string& before936, const MacAddress& mac, const std::string& after936)
{
    if (!Room(before936.size() + 17 + after936.size())) return;
    m_log += before936;
    m_log += FormatMacText(mac);
    m_log += after936;
}

} // namespace vornik
