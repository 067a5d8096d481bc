#include "Accessibility.h"

#include "qvx/platform/WideText.h"

#include <ole2.h>

#include <oleacc.h>

#include <optional>
#include <string>

namespace qvx::win {
namespace {

struct Hook
{
    WNDPROC previous;
    const design::Form *form;
    const design::Control *control;
};

// What the answer needs of the accessibility and COM libraries.
struct Library
{
    decltype(&CreateStdAccessibleObject) createStandard = nullptr;
    decltype(&LresultFromObject) resultFromObject = nullptr;
    decltype(&SysAllocStringLen) allocString = nullptr;

    bool loaded() const { return createStandard && resultFromObject && allocString; }
};

template <typename Function> Function entry(HMODULE module, const char *name)
{
    return module ? reinterpret_cast<Function>(
                        reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                  : nullptr;
}

const Library &library()
{
    // Loaded once and kept: objects handed out may call back into them at any time.
    static const Library loaded = [] {
        const auto load = [](const wchar_t *name) {
            return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        };
        const HMODULE oleacc = load(L"oleacc.dll");
        const HMODULE oleaut = load(L"oleaut32.dll");
        const HMODULE ole = load(L"ole32.dll");
        // A reader in another process gets the object through COM, which this thread then
        // needs; it stays initialised for the rest of the run.
        if (const auto initialise = entry<decltype(&CoInitializeEx)>(ole, "CoInitializeEx"))
            initialise(nullptr, COINIT_APARTMENTTHREADED);
        Library library;
        library.createStandard =
            entry<decltype(&CreateStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject");
        library.resultFromObject = entry<decltype(&LresultFromObject)>(oleacc, "LresultFromObject");
        library.allocString = entry<decltype(&SysAllocStringLen)>(oleaut, "SysAllocStringLen");
        return library;
    }();
    return loaded;
}

std::wstring windowText(HWND window)
{
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

bool isSelf(const VARIANT &child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// COM interfaces end their objects through Release, never through a destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The system's object for a control, with what the design says of it in place of what the
// system would guess. Everything else, children included, is the system's.
class DescribedControl final : public IAccessible
{
public:
    DescribedControl(IAccessible *standard, HWND window, const Hook &hook)
        : m_standard(standard), m_window(window), m_form(*hook.form), m_control(*hook.control)
    {
    }
    DescribedControl(const DescribedControl &) = delete;
    DescribedControl &operator=(const DescribedControl &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible *>(this);
            AddRef();
            return S_OK;
        }
        // Its children and its window are the system object's; anything else (how it is
        // marshalled among them) would be that object's identity, not this one's.
        if (iid == __uuidof(IEnumVARIANT) || iid == __uuidof(IOleWindow))
            return m_standard->QueryInterface(iid, object);
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0)
            delete this;
        return ULONG(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        return m_standard->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo **info) override
    {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR *names, UINT count, LCID locale,
                                            DISPID *ids) override
    {
        return m_standard->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS *parameters, VARIANT *result, EXCEPINFO *exception,
                                     UINT *badArgument) override
    {
        return m_standard->Invoke(id, iid, locale, flags, parameters, result, exception,
                                  badArgument);
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) override
    {
        return m_standard->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG *count) override
    {
        return m_standard->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **object) override
    {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) override
    {
        return ownText(child, name, &IAccessible::get_accName,
                       [this]() -> std::optional<std::wstring> {
                           // A label is read as it shows now, nothing when it shows nothing; load
                           // and the notes change its text.
                           if (m_control.kind == design::Kind::Label)
                               return windowText(m_window);
                           return orStandard(wide(design::accessibleName(m_form, m_control)));
                       });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) override
    {
        return ownText(child, description, &IAccessible::get_accDescription, [this] {
            return orStandard(wide(design::accessibleDescription(m_control)));
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) override
    {
        return m_standard->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) override
    {
        const HRESULT result = m_standard->get_accState(child, state);
        // Decoration is there for the eye only.
        if (SUCCEEDED(result) && isSelf(child) && m_control.decorative && state->vt == VT_I4)
            state->lVal = (state->lVal | STATE_SYSTEM_INVISIBLE) & ~STATE_SYSTEM_FOCUSABLE;
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) override
    {
        return m_standard->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, LONG *topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *child) override
    {
        return m_standard->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *children) override
    {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) override
    {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG *left, LONG *top, LONG *width, LONG *height,
                                          VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT *end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT *child) override
    {
        return m_standard->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        return m_standard->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    ~DescribedControl() { m_standard->Release(); }

    // A text of the control itself, from `text`: none (S_FALSE) when it is empty, the standard
    // object's when it is not there. Children and decoration are never the design's to name.
    template <typename Text>
    HRESULT ownText(VARIANT child, BSTR *out,
                    HRESULT (STDMETHODCALLTYPE IAccessible::*standard)(VARIANT, BSTR *),
                    const Text &text)
    {
        if (!isSelf(child))
            return (m_standard->*standard)(child, out);
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (m_control.decorative)
            return S_FALSE;
        const std::optional<std::wstring> own = text();
        if (!own)
            return (m_standard->*standard)(child, out);
        return own->empty() ? S_FALSE : answer(*own, out);
    }
    static std::optional<std::wstring> orStandard(std::wstring text)
    {
        return text.empty() ? std::nullopt : std::optional(std::move(text));
    }

    static HRESULT answer(const std::wstring &text, BSTR *out)
    {
        *out = library().allocString(text.data(), UINT(text.size()));
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    IAccessible *m_standard; // owned: one reference
    HWND m_window;
    const design::Form &m_form;
    const design::Control &m_control;
    LONG m_references = 1;
};

#pragma GCC diagnostic pop

LRESULT answerReader(HWND window, const Hook &hook, WPARAM wParam, LONG object)
{
    const Library &functions = library();
    if (!functions.loaded())
        return 0;
    IAccessible *standard = nullptr;
    if (FAILED(functions.createStandard(window, object, __uuidof(IAccessible),
                                        reinterpret_cast<void **>(&standard))) ||
        !standard)
        return 0;
    auto *described = new DescribedControl(standard, window, hook);
    const LRESULT result = functions.resultFromObject(__uuidof(IAccessible), wParam, described);
    // The result holds its own reference when it succeeded.
    described->Release();
    return result > 0 ? result : 0;
}

LRESULT CALLBACK hookedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The control's user data, not a property: under Wine each property look-up is a call to
    // the server, and a list of thousands of demos passes thousands of messages through here.
    auto *hook = reinterpret_cast<Hook *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!hook)
        return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = hook->previous;
    if (message == WM_GETOBJECT) {
        const auto object = LONG(DWORD(lParam));
        if (object == OBJID_CLIENT || object == OBJID_WINDOW) {
            if (const LRESULT answer = answerReader(window, *hook, wParam, object))
                return answer;
        }
    } else if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete hook;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

void hook(HWND window, const design::Form &form, const design::Control &control)
{
    // A control's user data is ours to give; a hooked control already holds its hook there.
    if (!window || GetWindowLongPtrW(window, GWLP_USERDATA) != 0)
        return;
    auto *record = new Hook{reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)),
                            &form, &control};
    if (!record->previous) {
        delete record;
        return;
    }
    // Set before the procedure changes: the next message may come at once.
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    if (SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&hookedProc)) == 0) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete record;
    }
}

} // namespace

void describeControl(HWND control, const design::Form &form, const design::Control &design)
{
    hook(control, form, design);
    if (design.kind == design::Kind::ComboBox) {
        // The focus is in the combo's own field: a reader names that field as the combo.
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(control, &info) && info.hwndItem && info.hwndItem != control)
            hook(info.hwndItem, form, design);
    }
}

} // namespace qvx::win
