#include "client/core/DescriptorWatch.h"

#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>

class CDescriptorWatch::CHandler : public wxEventLoopSourceHandler {
public:
    explicit CHandler(CDescriptorWatch& owner) : m_owner(owner) {}
    void OnReadWaiting() override { m_owner.OnReady(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override { m_owner.OnReady(); }

private:
    CDescriptorWatch& m_owner;
};

CDescriptorWatch::CDescriptorWatch() = default;

CDescriptorWatch::~CDescriptorWatch()
{
    Stop();
}

bool CDescriptorWatch::Arm(int fd, std::function<void()> onReady)
{
    m_onReady = std::move(onReady);
    if (m_source && fd == m_fd)
        return true;
    Stop();
    if (fd < 0 || !m_onReady)
        return false;
    if (!m_handler)
        m_handler.reset(new CHandler(*this));
    m_fd = fd;
    m_source.reset(
        wxEventLoopBase::AddSourceForFD(fd, m_handler.get(), wxEVENT_SOURCE_INPUT | wxEVENT_SOURCE_EXCEPTION));
    return m_source != nullptr;
}

void CDescriptorWatch::Stop()
{
    m_source.reset();
    m_fd = -1;
}

void CDescriptorWatch::OnReady()
{
    // The toolkit reports readable and failed apart: the second finds the
    // watch spent.
    if (!m_source)
        return;
    Stop();
    std::function<void()> onReady = m_onReady;
    if (onReady)
        onReady();
}
