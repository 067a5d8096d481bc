// A program for the platform tests to start: after a short pause, so that the starter can
// show it did not wait, it writes what it was started with into "marker.txt" in its
// working folder.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>

int main(int argc, char **)
{
    Sleep(1500);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);

    // Written under another name first, so that a reader never sees half of it.
    FILE *out = std::fopen("marker.tmp", "wb");
    if (!out)
        return 1;
    std::fprintf(out, "arguments=%d\nuseShowWindow=%d\nshowWindow=%d\n", argc - 1,
                 (startup.dwFlags & STARTF_USESHOWWINDOW) ? 1 : 0, int(startup.wShowWindow));
    if (std::fclose(out) != 0)
        return 1;
    return MoveFileExW(L"marker.tmp", L"marker.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
