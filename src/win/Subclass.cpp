#include "Subclass.h"

#include <commctrl.h>

#include <memory>

namespace qvx::win {
namespace {

constexpr wchar_t recordProperty[] = L"qvx.subclass";

struct Record
{
    WNDPROC previous;
    SubclassProc proc;
    UINT_PTR id;
    DWORD_PTR data;
};

LRESULT CALLBACK subclassed(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *record = static_cast<Record *>(GetPropW(window, recordProperty));
    if (!record)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message != WM_NCDESTROY)
        return record->proc(window, message, wParam, lParam, record->id, record->data);
    // The last message: the record goes with it, once the subclass has passed it on.
    const std::unique_ptr<Record> owned(record);
    const LRESULT result = owned->proc(window, message, wParam, lParam, owned->id, owned->data);
    RemovePropW(window, recordProperty);
    return result;
}

} // namespace

bool setSubclass(HWND window, SubclassProc proc, UINT_PTR id, DWORD_PTR data)
{
    if (!window || GetPropW(window, recordProperty))
        return false;
    auto record = std::make_unique<Record>(
        Record{reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)), proc, id, data});
    if (!record->previous || !SetPropW(window, recordProperty, record.get()))
        return false;
    // Set before the procedure changes: the first message may come at once.
    if (SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&subclassed)) == 0) {
        RemovePropW(window, recordProperty);
        return false;
    }
    // The window owns it now; its last message frees it.
    static_cast<void>(record.release());
    return true;
}

LRESULT defSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto *record = static_cast<const Record *>(GetPropW(window, recordProperty));
    return record ? CallWindowProcW(record->previous, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

bool loadCommonControls()
{
    // Stays loaded: the tool tip class lives in it.
    static const bool loaded = [] {
        HMODULE module = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module)
            return false;
        using InitFn = BOOL(WINAPI *)(const INITCOMMONCONTROLSEX *);
        const auto init = reinterpret_cast<InitFn>(
            reinterpret_cast<void *>(GetProcAddress(module, "InitCommonControlsEx")));
        const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        return init && init(&controls);
    }();
    return loaded;
}

} // namespace qvx::win
