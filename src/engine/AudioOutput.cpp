#include "AudioOutput.h"

#include <utility>

namespace fsound {

Output& Output::operator=(Output&& other) noexcept
{
    if (this != &other) {
        close();
        m_driver = std::exchange(other.m_driver, nullptr);
        m_output = std::exchange(other.m_output, nullptr);
    }
    return *this;
}

Output Output::open(const OutputDriver& driver, const OutputRequest& request, OutputFailure& failure)
{
    return Output(&driver, driver.open(request, failure));
}

void Output::close()
{
    if (m_output)
        m_driver->close(std::exchange(m_output, nullptr));
}

void Output::discardQueued()
{
    if (m_driver->discardQueued)
        m_driver->discardQueued(m_output);
}

std::string Output::whyLost() const
{
    return m_driver->whyLost ? m_driver->whyLost(m_output) : std::string();
}

void Output::dataReady()
{
    if (m_driver->dataReady)
        m_driver->dataReady(m_output);
}

} // namespace fsound
