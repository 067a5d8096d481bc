#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// A window's design as data: what a form file holds. Each toolkit builds its real window
// from it, so a caption or a position is written once.
namespace qvx::design {

// Red, green and blue, 0 to 255 each.
struct Colour
{
    int red = 0;
    int green = 0;
    int blue = 0;
    friend constexpr bool operator==(const Colour &, const Colour &) = default;
};

struct Font
{
    std::string_view face;
    double points = 8.25;
    int weight = 400; // 400 regular, 700 bold
    bool italic = false;
    friend constexpr bool operator==(const Font &, const Font &) = default;
};

// Twips, relative to the client area of the container.
struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const Rect &, const Rect &) = default;
};

// Which edge of an etched rule a line draws: under a high-contrast scheme it takes the
// system's colour for that edge instead of its own.
enum class Edge { Shadow, Highlight };

// A line's two ends in twips; its width in pixels.
struct Line
{
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    int widthPx = 1;
    Edge edge = Edge::Shadow;
};

enum class Kind { Label, Line, Frame, OptionButton, ComboBox, CommandButton, FileList, Image };

// What a menu item or a button runs.
enum class Command {
    None,
    Play,
    Exit,
    HelpContents,
    HelpIndex,
    HelpTopic,
    WebHomePage,
    About,
};

inline constexpr int noIndex = -1;
inline constexpr int noTabStop = -1;

// Another control of the same form.
struct ControlRef
{
    std::string_view name;
    int index = noIndex;
};

struct Control
{
    std::string_view name;
    int index = noIndex; // element of a control array
    Kind kind = Kind::Label;
    std::string_view container; // empty: the window itself
    Rect rect;                  // unused for lines
    Line line;                  // lines only
    std::string_view caption;   // access keys marked with "&"
    std::optional<Font> font;   // empty: the window's font
    std::optional<Colour> foreColour;
    std::optional<Colour> backColour;
    bool transparent = false; // the background shows what lies behind
    bool wordWrap = false;
    bool visible = true;
    int tabIndex = noTabStop;
    bool isDefault = false; // takes Enter
    bool isCancel = false;  // takes Esc
    std::string_view picture;
    std::string_view toolTip;
    std::string_view pattern; // file lists

    // What a screen reader is told. A control is named by its caption unless it has a name
    // of its own or a label names it; decoration is not read at all.
    std::string_view accessibleName;
    std::optional<ControlRef> labelledBy;
    std::string_view accessibleDescription; // empty: the tool tip says it
    bool decorative = false;
};

struct MenuItem
{
    std::string_view name;
    std::string_view parent;  // empty: the menu bar
    std::string_view caption; // "-" makes a separator
    Command command = Command::None;
    std::string_view topic; // page of the help file, for Command::HelpTopic
    bool enabled = true;

    constexpr bool isSeparator() const { return caption == "-"; }
};

enum class Border { FixedSingle, FixedDialog };

struct Form
{
    std::string_view name;
    std::string_view caption; // may be set at load instead
    Border border = Border::FixedSingle;
    int clientWidth = 0; // twips
    int clientHeight = 0;
    Font font;
    std::optional<Colour> background;
    // Controls from the back to the front: a later one is drawn over an earlier one.
    std::span<const Control> controls;
    std::span<const MenuItem> menu;

    const Control *find(std::string_view controlName, int controlIndex = noIndex) const;
    const MenuItem *findMenuItem(std::string_view itemName) const;
};

const Form &frmPlayDemos();
const Form &frmAbout();

// A caption as it is read aloud: without its access-key markers ("&&" stays one "&").
std::string withoutAccessKeys(std::string_view caption);
// The name a screen reader gives a control: none for decoration. A label is named by the
// text it shows; this is its design's, which load may replace.
std::string accessibleName(const Form &form, const Control &control);
// What a control is for, where its name does not say it.
std::string_view accessibleDescription(const Control &control);

// Under a high-contrast scheme the windows draw in the system's colours, not the design's,
// and text drawn only for decoration (a shadow) is not drawn: in the system's colours it
// would blur what it shadows.
constexpr bool drawnUnderHighContrast(const Control &control)
{
    return !(control.decorative && control.kind == Kind::Label);
}

} // namespace qvx::design
