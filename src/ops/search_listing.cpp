#include "ops/search_listing.h"

namespace vornik {

SearchListing::Reply SearchListing::Next()
{
    if (m_listed < m_limit) {
        ++m_listed;
        return Reply::Listed;
    }
    return m_omitted++ == 0 ? Reply::ListFull : Reply::Omitted;
}

void SearchListing::Restart()
{
    m_listed = 0;
    m_omitted = 0;
}

} // namespace vornik
