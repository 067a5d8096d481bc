#pragma once

#include <string_view>

namespace qvx {

// A control of a window by its name and, for an element of a control array, its index.
struct ControlId
{
    std::string_view name;
    int index = -1;
};

// Twips: 1/1440 inch.
struct TwipSize
{
    double width = 0;
    double height = 0;
};

// What every window of the program offers its presenter.
class FormView
{
public:
    virtual ~FormView() = default;
    // The whole screen the window is on, not the part task bars leave free.
    virtual TwipSize screenSize() const = 0;
    // The window's outer size, frame and caption included.
    virtual TwipSize outerSize() const = 0;
    // Moves the window's outer top-left corner.
    virtual void moveOuter(float left, float top) = 0;
};

} // namespace qvx
