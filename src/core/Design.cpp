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

std::string withoutAccessKeys(std::string_view caption)
{
    std::string spoken;
    spoken.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        spoken += caption[i];
    }
    return spoken;
}

std::string accessibleName(const Form &form, const Control &control)
{
    if (control.decorative)
        return {};
    if (!control.accessibleName.empty())
        return std::string(control.accessibleName);
    if (control.labelledBy) {
        const Control *label = form.find(control.labelledBy->name, control.labelledBy->index);
        if (!label)
            return {};
        // A prompt leads into its control with a colon; the name is the words alone.
        std::string_view words = label->caption;
        while (!words.empty() && (words.back() == ':' || words.back() == ' '))
            words.remove_suffix(1);
        return std::string(words);
    }
    // A label's caption is data: an "&" in it is shown, not an access key.
    if (control.kind == Kind::Label)
        return std::string(control.caption);
    return withoutAccessKeys(control.caption);
}

std::string_view accessibleDescription(const Control &control)
{
    if (control.decorative)
        return {};
    return control.accessibleDescription.empty() ? control.toolTip : control.accessibleDescription;
}

} // namespace qvx::design
