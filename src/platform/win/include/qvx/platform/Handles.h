#pragma once

#include "qvx/platform/Win32.h"

#include <utility>

namespace qvx {

// Owns one system handle and frees it exactly once with `Traits::free`. Moving hands the
// handle over; what was moved from frees nothing. The system's "no handle" values (null,
// and INVALID_HANDLE_VALUE where `Traits` says so) all read as empty.
template <typename Traits> class Owned
{
public:
    using Handle = typename Traits::Handle;

    Owned() = default;
    explicit Owned(Handle handle) : m_handle(emptied(handle)) {}
    ~Owned() { reset(); }
    Owned(Owned &&other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    Owned &operator=(Owned &&other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    void reset(Handle handle = nullptr)
    {
        if (m_handle)
            Traits::free(m_handle);
        m_handle = emptied(handle);
    }

private:
    static Handle emptied(Handle handle)
    {
        if constexpr (Traits::invalidIsEmpty)
            return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
        else
            return handle;
    }

    Handle m_handle = nullptr;
};

struct KernelTraits
{
    using Handle = HANDLE;
    // CreateFileW's failure is INVALID_HANDLE_VALUE, OpenProcess's null.
    static constexpr bool invalidIsEmpty = true;
    static void free(HANDLE handle) { CloseHandle(handle); }
};

struct FindTraits
{
    using Handle = HANDLE;
    static constexpr bool invalidIsEmpty = true;
    static void free(HANDLE handle) { FindClose(handle); }
};

struct MemoryDcTraits
{
    using Handle = HDC;
    static constexpr bool invalidIsEmpty = false;
    static void free(HDC dc) { DeleteDC(dc); }
};

// Processes, threads, files and the like.
using KernelHandle = Owned<KernelTraits>;
// A FindFirstFileExW listing.
using FindHandle = Owned<FindTraits>;
// A CreateCompatibleDC context.
using MemoryDc = Owned<MemoryDcTraits>;

// A window's device context (the screen's, for a null window), given back exactly once.
class WindowDc
{
public:
    explicit WindowDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
    ~WindowDc()
    {
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    WindowDc(const WindowDc &) = delete;
    WindowDc &operator=(const WindowDc &) = delete;

    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

} // namespace qvx
