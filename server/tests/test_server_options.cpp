// The command line and the port of the program settings.
#include <gtest/gtest.h>

#include <string>

#include "server/ServerOptions.h"

namespace {

bool Parse(std::initializer_list<const char*> args, SServerOptions& options, std::string& error)
{
    std::vector<const char*> argv = {"gridmoor-server"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ParseServerOptions(int(argv.size()), argv.data(), options, error);
}

} // namespace

TEST(ServerOptions, ValuesAndRefusals)
{
    SServerOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--listen", "0.0.0.0", "--port", "0", "--motd", "m.htm", "--keepalive", "0.25",
                       "--max-per-address", "0"},
                      options, error));
    EXPECT_EQ(options.maxPerAddress, 0);
    EXPECT_EQ(options.listen, "0.0.0.0");
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.motdPath, "m.htm");
    EXPECT_DOUBLE_EQ(options.keepAliveSeconds, 0.25);

    SServerOptions defaults;
    ASSERT_TRUE(Parse({}, defaults, error));
    EXPECT_EQ(defaults.listen, "127.0.0.1");
    EXPECT_EQ(defaults.port, -1);
    EXPECT_DOUBLE_EQ(defaults.keepAliveSeconds, 45.0);
    EXPECT_EQ(defaults.maxPerAddress, 16);

    for (auto bad : {std::vector<const char*>{"--port", "65536"}, {"--port", "12x"}, {"--port"},
                     {"--keepalive", "0"}, {"--keepalive", "nan"}, {"--colour", "red"},
                     {"--max-per-address", "-1"}, {"--max-per-address", "x"}}) {
        std::vector<const char*> argv = {"gridmoor-server"};
        argv.insert(argv.end(), bad.begin(), bad.end());
        SServerOptions o;
        EXPECT_FALSE(ParseServerOptions(int(argv.size()), argv.data(), o, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(ServerOptions, PortOfTheShippedSettings)
{
    FILE* file = std::fopen(ROOKWELL_SOURCE "/data/cfg/app.cfg", "rb");
    ASSERT_NE(file, nullptr);
    std::string text;
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof(block), file)) > 0)
        text.append(block, n);
    std::fclose(file);
    int port = ReadConfiguredPort(text);
    EXPECT_GT(port, 0);
    EXPECT_LT(port, 65536);

    EXPECT_EQ(ReadConfiguredPort("gridmoor = {\n\tport = 4000\n}\n"), 4000);
    EXPECT_EQ(ReadConfiguredPort("gridmoor = {\n\tserver = \"x\"\n}\n"), -1);
    EXPECT_EQ(ReadConfiguredPort("gridmoor = {\n\tport = 99999\n}\n"), -1);
}
