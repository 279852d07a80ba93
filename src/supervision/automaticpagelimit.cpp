#include "supervision/automaticpagelimit.h"

bool AutomaticPageLimit::allow(Clock::time_point now)
{
    while (!m_opened.empty() && now - m_opened.front() >= Period)
        m_opened.pop_front();
    if (m_opened.size() >= std::size_t(PagesPerPeriod))
        return false;
    m_opened.push_back(now);
    return true;
}
