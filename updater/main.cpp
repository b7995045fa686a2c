// updater: installs an update package into the program folder and starts
// the client again. Started by the client as
//   updater <package path> <client file name>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

#include "updater/ClientLaunch.h"
#include "updater/Updater.h"
#include "updater/WxPrompt.h"

namespace {

// The client exits right after starting us; a second is all it gets.
const int kClientExitMs = 1000;

} // namespace

int main(int argc, char** argv)
{
    const pid_t parent = getppid();
    std::vector<Zorlin::CString> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Zorlin::CString(argv[i]));

    CConsolePrompt console(stdin, stderr);
    std::unique_ptr<CWxPrompt> boxes = CWxPrompt::Start(argc > 0 ? argv[0] : nullptr);
    CUpdaterPrompt& prompt = boxes ? static_cast<CUpdaterPrompt&>(*boxes) : console;

    CUpdater updater(prompt, GetProgramFolder(), [parent] { WaitForParentToEnd(parent, kClientExitMs); },
                     StartClient);
    return updater.Run(arguments);
}
