// Choosing an edition in the program's own window, over the real platform, against the
// plainest listing (PlainListing.h) into a combo box, alternating, in one process. Run from a
// folder whose Demos tree holds the demos; prints one line:
//   list: ours X ms, baseline Y ms, ratio R
#include "PlainListing.h"

#include "qvx/platform/WindowsPlatform.h"
#include "qvx/win/FrmPlayDemos.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsOf(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int wmain()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    qvx::WindowsPlatform platform;
    qvx::win::FrmPlayDemos window(platform);
    window.Form_Load();
    HWND quorvex = window.control("optDemoVersion", 0);
    HWND junior = window.control("optDemoVersion", 1);
    HWND ours = window.control("cboDemos");

    HWND holder = CreateWindowW(L"STATIC", L"Baseline", WS_OVERLAPPED, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    HWND combo = CreateWindowW(L"COMBOBOX", L"",
                               WS_CHILD | WS_VISIBLE | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL,
                               10, 10, 300, 200, holder, nullptr, nullptr, nullptr);
    ShowWindow(holder, SW_SHOWNA);
    const std::wstring demos = plain::programFolder() + L"\\Demos\\";

    std::vector<double> oursTimes;
    std::vector<double> baselineTimes;
    LRESULT oursCount = 0;
    LRESULT baselineCount = 0;
    for (int round = 0; round < 15; ++round) {
        SendMessageW(junior, BM_CLICK, 0, 0);
        auto start = Clock::now();
        SendMessageW(quorvex, BM_CLICK, 0, 0);
        oursTimes.push_back(millisecondsOf(start));
        oursCount = SendMessageW(ours, CB_GETCOUNT, 0, 0);

        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        start = Clock::now();
        plain::fill(combo, plain::demoNames(demos + L"QVX"), plain::demoNames(demos + L"Both"));
        baselineTimes.push_back(millisecondsOf(start));
        baselineCount = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    }
    DestroyWindow(holder);
    if (oursCount != baselineCount || oursCount == 0) {
        std::printf("list: the program listed %lld demos, the baseline %lld\n",
                    static_cast<long long>(oursCount), static_cast<long long>(baselineCount));
        return 1;
    }
    const double a = median(oursTimes);
    const double b = median(baselineTimes);
    std::printf("list (%lld demos): ours %.1f ms, baseline %.1f ms, ratio %.2f\n",
                static_cast<long long>(oursCount), a, b, a / b);
    return 0;
}
