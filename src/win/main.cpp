#include "qvx/platform/WindowsPlatform.h"
#include "qvx/win/FrmPlayDemos.h"
#include "qvx/win/MessageLoop.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The badge's tool tips come from the common controls.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

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
