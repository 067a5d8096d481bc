#include "qvx/core/Design.h"

namespace qvx::design {

const Control *Form::find(std::string_view controlName, int controlIndex) const
{
    for (const Control &control : controls) {
        if (control.name == controlName && control.index == controlIndex)
            return &control;
    }
    return nullptr;
}

const MenuItem *Form::findMenuItem(std::string_view itemName) const
{
    for (const MenuItem &item : menu) {
        if (item.name == itemName)
            return &item;
    }
    return nullptr;
}

} // namespace qvx::design
