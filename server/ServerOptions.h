#pragma once

// The command line of gridmoor-server.

#include <string>

struct SServerOptions {
    std::string listen = "127.0.0.1";
    int port = -1; // -1: the port of the program settings
    std::string motdPath;
    // Clients send a keep-alive this often; three periods of silence end a connection.
    double keepAliveSeconds = 45.0;
    // Connections held at once from one address; 0 for no cap.
    int maxPerAddress = 16;
    bool help = false;
};

// False with a message in error when the line cannot be used.
bool ParseServerOptions(int argc, const char* const* argv, SServerOptions& options, std::string& error);
const char* ServerUsage();

// The ".gridmoor.port" of a program settings text, or -1.
int ReadConfiguredPort(const std::string& settingsText);
