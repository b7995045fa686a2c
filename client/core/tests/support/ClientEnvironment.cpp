#include "ClientEnvironment.h"

#include <utility>

namespace AppTest {

CHarness* g_client = nullptr;
std::string g_skip;

CClientEnvironment::CClientEnvironment(FStep beforeStart, FStep beforeStop)
    : m_beforeStart(std::move(beforeStart)), m_beforeStop(std::move(beforeStop))
{
}

void CClientEnvironment::SetUp()
{
    g_client = new CHarness;
    if (!g_client->PrepareFolder("setuser = tester")) {
        g_skip = g_client->GetError();
        return;
    }
    if (m_beforeStart)
        m_beforeStart(*g_client);
    if (!g_client->Start({"--client"}))
        g_skip = g_client->GetError();
}

void CClientEnvironment::TearDown()
{
    if (g_client && m_beforeStop)
        m_beforeStop(*g_client);
    delete g_client;
    g_client = nullptr;
}

::testing::Environment* AddClientEnvironment(CClientEnvironment::FStep beforeStart, CClientEnvironment::FStep beforeStop)
{
    return ::testing::AddGlobalTestEnvironment(new CClientEnvironment(std::move(beforeStart), std::move(beforeStop)));
}

} // namespace AppTest
