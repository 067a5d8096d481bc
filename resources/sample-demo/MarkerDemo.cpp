// A demo for tests of Play: it shows nothing and writes, in UTF-8, where it was started from
//   path=<its own full path>
//   folder=<its working folder>
// to the file that QVX_MARKER_FILE names, or else to "<its own path>.marker", then exits.
// The lines end in CR LF; the file appears whole or not at all.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace {

std::wstring ownPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring workingFolder()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0)
        return {};
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    folder.resize(length < size ? length : 0);
    return folder;
}

std::wstring markerFile(const std::wstring &self)
{
    const DWORD size = GetEnvironmentVariableW(L"QVX_MARKER_FILE", nullptr, 0);
    if (size > 1) {
        std::wstring name(size, L'\0');
        const DWORD length = GetEnvironmentVariableW(L"QVX_MARKER_FILE", name.data(), size);
        if (length > 0 && length < size) {
            name.resize(length);
            return name;
        }
    }
    return self + L".marker";
}

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(size_t(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

bool writeWhole(const std::wstring &target, const std::string &bytes)
{
    // Written under another name first, so that a waiting test never reads half of it.
    const std::wstring part = target + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    if (!CloseHandle(file) || !ok) {
        DeleteFileW(part.c_str());
        return false;
    }
    if (!MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(part.c_str());
        return false;
    }
    return true;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring self = ownPath();
    const std::wstring folder = workingFolder();
    if (self.empty() || folder.empty())
        return 2;
    const std::string text = "path=" + utf8(self) + "\r\nfolder=" + utf8(folder) + "\r\n";
    return writeWhole(markerFile(self), text) ? 0 : 1;
}
