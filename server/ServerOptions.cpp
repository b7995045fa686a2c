#include "server/ServerOptions.h"

#include <cstdlib>
#include <cstring>

#include "foundation/Config.h"

namespace {

bool ReadPort(const char* text, int& port)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > 65535)
        return false;
    port = int(value);
    return true;
}

} // namespace

const char* ServerUsage()
{
    return "usage: gridmoor-server [--listen ADDRESS] [--port N] [--motd FILE] [--keepalive SECONDS]\n"
           "                       [--max-per-address N]\n"
           "  --listen ADDRESS     address to accept players on (default 127.0.0.1; 0.0.0.0 for every network)\n"
           "  --port N             port to listen on (default: .gridmoor.port of cfg/app.cfg beside the program;\n"
           "                       0 picks a free port, shown in the \"listening on\" line)\n"
           "  --motd FILE          HTML text sent to every player after login\n"
           "  --keepalive SECONDS  the clients' keep-alive period (default 45); three silent periods end a connection\n"
           "  --max-per-address N  connections held at once from one address (default 16; 0 for no cap)\n";
}

bool ParseServerOptions(int argc, const char* const* argv, SServerOptions& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            options.help = true;
            continue;
        }
        if (i + 1 >= argc) {
            error = std::string("unknown option or missing value: ") + arg;
            return false;
        }
        const char* value = argv[++i];
        if (!std::strcmp(arg, "--listen")) {
            options.listen = value;
        } else if (!std::strcmp(arg, "--port")) {
            if (!ReadPort(value, options.port)) {
                error = std::string("not a port number: ") + value;
                return false;
            }
        } else if (!std::strcmp(arg, "--motd")) {
            options.motdPath = value;
        } else if (!std::strcmp(arg, "--keepalive")) {
            char* end = nullptr;
            double seconds = std::strtod(value, &end);
            if (!*value || *end || !(seconds >= 0.01 && seconds <= 86400.0)) {
                error = std::string("not a keep-alive period in seconds: ") + value;
                return false;
            }
            options.keepAliveSeconds = seconds;
        } else if (!std::strcmp(arg, "--max-per-address")) {
            char* end = nullptr;
            long count = std::strtol(value, &end, 10);
            if (!*value || *end || count < 0 || count > 1000000) {
                error = std::string("not a number of connections: ") + value;
                return false;
            }
            options.maxPerAddress = int(count);
        } else {
            error = std::string("unknown option: ") + arg;
            return false;
        }
    }
    return true;
}

int ReadConfiguredPort(const std::string& settingsText)
{
    Zorlin::CConfig config;
    if (!config.ReadText(settingsText.data(), int(settingsText.size())))
        return -1;
    Zorlin::CString text = config.GetValueOr(".gridmoor.port", "");
    int port = -1;
    if (text.IsEmpty() || !ReadPort(text.GetText(), port) || port == 0)
        return -1;
    return port;
}
