#include "qvx/platform/WindowsPlatform.h"
#include "qvx/win/FrmPlayDemos.h"
#include "qvx/win/MessageLoop.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    qvx::WindowsPlatform platform;
    // One set of keys for every loop: the main loop, About's and the waits'.
    qvx::win::ProgramKeys keys(platform, [&platform] { return platform.applicationHelpFile(); });
    platform.setMessageFilter(&keys);
    int code = 0;
    {
        qvx::win::FrmPlayDemos window(platform, &platform);
        window.Form_Load();
        // The main window's unload ends the loop.
        code = qvx::win::runMessageLoop(keys);
    }
    platform.setMessageFilter(nullptr);
    return code;
}
