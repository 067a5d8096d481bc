#pragma once
// The plainest way to do what choosing an edition does: find the demos of two folders, sort
// each folder's names as the system sorts them, and fill a combo box. What the program's own
// listing is measured against.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace plain {

inline std::vector<std::wstring> findDemos(const std::wstring &folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileExW((folder + L"\\*.exe").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN))) {
            std::wstring name = found.cFileName;
            names.push_back(name.substr(0, name.size() - 4));
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

inline void sortNames(std::vector<std::wstring> &names)
{
    std::sort(names.begin(), names.end(), [](const std::wstring &a, const std::wstring &b) {
        return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), int(a.size()),
                               b.c_str(), int(b.size()), nullptr, nullptr, 0) == CSTR_LESS_THAN;
    });
}

inline std::vector<std::wstring> demoNames(const std::wstring &folder)
{
    std::vector<std::wstring> names = findDemos(folder);
    sortNames(names);
    return names;
}

inline void fill(HWND combo, const std::vector<std::wstring> &first,
                 const std::vector<std::wstring> &second)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    std::size_t characters = 0;
    for (const auto *names : {&first, &second}) {
        for (const std::wstring &name : *names)
            characters += name.size() + 1;
    }
    SendMessageW(combo, CB_INITSTORAGE, WPARAM(first.size() + second.size()),
                 LPARAM(characters * sizeof(wchar_t)));
    for (const auto *names : {&first, &second}) {
        for (const std::wstring &name : *names)
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(name.c_str()));
    }
}

// The folder of the running program.
inline std::wstring programFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

} // namespace plain
