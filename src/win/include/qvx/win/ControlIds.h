#pragma once

#include "qvx/core/Design.h"

#include <string_view>

// How the Windows program numbers its controls and menu items, so that a program outside
// it can find each one by its design name. The numbers follow the design's own lists:
// control IDs start at 1000, menu command IDs at 2000. Both give 0 for a name the design
// does not have (0 is no control's ID). A file list has no window. The combo box's own
// field is a child of the combo with an ID of the system's (1001), so a search by ID
// looks at the window's controls and those of its frames, not inside a combo.
namespace qvx::win {

inline constexpr int firstControlId = 1000;
inline constexpr int firstMenuId = 2000;

constexpr int controlId(const design::Form &form, std::string_view name,
                        int index = design::noIndex)
{
    for (std::size_t i = 0; i < form.controls.size(); ++i) {
        if (form.controls[i].name == name && form.controls[i].index == index)
            return firstControlId + int(i);
    }
    return 0;
}

constexpr int menuId(const design::Form &form, std::string_view item)
{
    for (std::size_t i = 0; i < form.menu.size(); ++i) {
        if (form.menu[i].name == item)
            return firstMenuId + int(i);
    }
    return 0;
}

} // namespace qvx::win
