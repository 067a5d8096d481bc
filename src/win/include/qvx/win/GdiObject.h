#pragma once

#include "qvx/platform/Handles.h"

#include <type_traits>

namespace qvx::win {

// A font, brush, bitmap or icon, freed exactly once by its owner. A control never frees
// what it is given, and by the time its window's owner goes the control may be gone
// already: the object's owner cannot ask it.
template <typename Object> struct GdiTraits
{
    using Handle = Object;
    static constexpr bool invalidIsEmpty = false;
    static void free(Object handle)
    {
        if constexpr (std::is_same_v<Object, HICON>)
            DestroyIcon(handle);
        else
            DeleteObject(handle);
    }
};

template <typename Object> using GdiObject = Owned<GdiTraits<Object>>;

using Font = GdiObject<HFONT>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;
using Icon = GdiObject<HICON>;

} // namespace qvx::win
