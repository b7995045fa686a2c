#pragma once

// One real client for a whole test program: made in a fresh program folder
// with the user "tester" and started with --client before the first test,
// deleted after the last. Tests skip with g_skip when it could not start.

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "AppHarness.h"

namespace AppTest {

// Null outside the environment.
extern CHarness* g_client;
// Why the client did not start; empty when it did.
extern std::string g_skip;

class CClientEnvironment : public ::testing::Environment {
public:
    using FStep = std::function<void(CHarness&)>;

    // beforeStart runs on the prepared folder (to add engines and the
    // like); beforeStop runs before the client is deleted.
    explicit CClientEnvironment(FStep beforeStart = nullptr, FStep beforeStop = nullptr);

    void SetUp() override;
    void TearDown() override;

private:
    FStep m_beforeStart;
    FStep m_beforeStop;
};

// Registers the environment with the test runner; call once per program,
// at namespace scope.
::testing::Environment* AddClientEnvironment(CClientEnvironment::FStep beforeStart = nullptr,
                                             CClientEnvironment::FStep beforeStop = nullptr);

} // namespace AppTest
