#include "ops/info_area.h"

#include <algorithm>

#include "ops/control_ids.h"
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
}

void InfoArea::Start(const std::string& line936)
{
    m_log.assign(line936);
    m_restarted = true;
}

void InfoArea::AddMacLine(const std::string& before936, const MacAddress& mac, const std::string& after936)
{
    m_log += before936;
    m_log += FormatMacText(mac);
    m_log += after936;
}

} // namespace vornik
