#include "RecordingViews.h"

#include <sstream>

std::string controlName(qvx::ControlId control)
{
    std::string name(control.name);
    if (control.index >= 0)
        name += '_' + std::to_string(control.index);
    return name;
}

namespace {
std::string at(float left, float top)
{
    std::ostringstream out;
    out << left << ',' << top;
    return out.str();
}
} // namespace

void RecordingPlayDemosView::moveOuter(float toLeft, float toTop)
{
    left = toLeft;
    top = toTop;
    record("move " + at(left, top));
}

void RecordingPlayDemosView::setOuterSize(int width, int height)
{
    outer = {double(width), double(height)};
    record("size " + std::to_string(width) + 'x' + std::to_string(height));
}

void RecordingPlayDemosView::show()
{
    record("show");
}

void RecordingPlayDemosView::paintNow()
{
    record("paint");
}

void RecordingPlayDemosView::close()
{
    open = false;
    record("close");
}

void RecordingPlayDemosView::moveControl(qvx::ControlId control, int x, int y)
{
    record("place " + controlName(control) + ' ' + std::to_string(x) + ',' + std::to_string(y));
}

void RecordingPlayDemosView::setControlVisible(qvx::ControlId control, bool shown)
{
    visible[controlName(control)] = shown;
    record((shown ? "show " : "hide ") + controlName(control));
}

void RecordingPlayDemosView::setCaption(qvx::ControlId control, const std::string &caption)
{
    captions[controlName(control)] = caption;
    record("caption " + controlName(control) + " | " + caption);
}

void RecordingPlayDemosView::setMenuEnabled(std::string_view item, bool enabled)
{
    menuEnabled[std::string(item)] = enabled;
    record((enabled ? "enable " : "disable ") + std::string(item));
}

void RecordingPlayDemosView::setOptionValue(int index, bool value)
{
    const int i = index != 0;
    const bool wasSelected = options[i];
    options[i] = value;
    if (value)
        options[1 - i] = false;
    record("option " + std::to_string(i) + (value ? " on" : " off"));
    if (value && !wasSelected && presenter)
        presenter->optDemoVersion_Click(i);
}

void RecordingPlayDemosView::clearDemoList()
{
    entries.clear();
    text.clear();
    record("clear");
}

void RecordingPlayDemosView::addDemoEntries(const std::vector<std::string> &added)
{
    std::string line = "entries";
    for (const std::string &entry : added) {
        entries.push_back(entry);
        line += " | " + entry;
    }
    record(line);
}

std::string RecordingPlayDemosView::demoEntry(std::size_t index) const
{
    return index < entries.size() ? entries[index] : std::string();
}

void RecordingPlayDemosView::setDemoText(const std::string &newText)
{
    text = newText;
    record("text " + newText);
}

void RecordingPlayDemosView::showAbout()
{
    record("about");
}

void RecordingAboutView::moveOuter(float left, float top)
{
    record("move " + at(left, top));
}

void RecordingAboutView::takeMainWindowIcon()
{
    record("icon");
}

void RecordingAboutView::setWindowCaption(const std::string &text)
{
    caption = text;
    record("title " + text);
}

void RecordingAboutView::setCaption(qvx::ControlId control, const std::string &text)
{
    captions[controlName(control)] = text;
    record("caption " + controlName(control));
}

void RecordingAboutView::setControlVisible(qvx::ControlId control, bool shown)
{
    visible[controlName(control)] = shown;
}

void RecordingAboutView::unload()
{
    unloaded = true;
    record("unload");
}
