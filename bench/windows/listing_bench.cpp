// Choosing an edition in the program's own window, over the real platform, against the
// plainest listing (PlainListing.h) into a combo box, alternating, in one process. Run from a
// folder whose Demos tree holds the demos; prints the whole and where its time goes:
//   list (N demos): ours X ms, baseline Y ms, ratio R
//   list, finding: ...   list, sorting: ...   list, filling the box: ...
#include "PlainListing.h"

#include "qvx/core/Text.h"
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

    // The steps apart, the same way: what the program adds at each.
    const std::wstring firstFolder = demos + L"QVX";
    std::vector<double> times[6];
    for (int round = 0; round < 15; ++round) {
        auto start = Clock::now();
        std::vector<std::filesystem::path> found = platform.listVisibleFiles(firstFolder);
        times[0].push_back(millisecondsOf(start));
        start = Clock::now();
        std::vector<std::wstring> plainFound = plain::findDemos(firstFolder);
        times[1].push_back(millisecondsOf(start));

        start = Clock::now();
        platform.sortNames(found);
        times[2].push_back(millisecondsOf(start));
        start = Clock::now();
        plain::sortNames(plainFound);
        times[3].push_back(millisecondsOf(start));

        std::vector<std::string> entries;
        for (const std::filesystem::path &name : found)
            entries.push_back(qvx::text::fromPath(name.stem()));
        window.clearDemoList();
        start = Clock::now();
        window.addDemoEntries(entries);
        times[4].push_back(millisecondsOf(start));
        start = Clock::now();
        plain::fill(combo, plainFound, {});
        times[5].push_back(millisecondsOf(start));
    }
    DestroyWindow(holder);
    const char *steps[]{"finding", "sorting", "filling the box"};
    for (int step = 0; step < 3; ++step) {
        const double mine = median(times[2 * step]);
        const double plainTime = median(times[2 * step + 1]);
        std::printf("list, %s: ours %.1f ms, baseline %.1f ms, ratio %.2f\n", steps[step], mine,
                    plainTime, mine / plainTime);
    }
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
