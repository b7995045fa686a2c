// linkhop: opens one web address, mail address or program-folder document
// with the desktop's opener and ends. The client starts it without waiting,
// so a slow opener never holds up the client's window.


#include "launcher/Launcher.h"

int main(int argc, char** argv)
{
    return LauncherMain(argc, argv);
}
