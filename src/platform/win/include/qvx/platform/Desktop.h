#pragma once

struct tagMSG;

namespace qvx {

// What the program's windows make of a message before it is dispatched: the dialog
// manager's keys, the help key. The front-end hands one to the platform, so that the
// platform's waits take input as the program's own loops do.
class MessageFilter
{
public:
    virtual ~MessageFilter() = default;
    // True when the message was handled and is not to be dispatched.
    virtual bool filter(tagMSG &message) = 0;
};

// The one step of every message loop of the program: the filter (if any) first, else the
// message is translated and dispatched.
void dispatchMessage(MessageFilter *filter, tagMSG &message);

// What the program's windows need of the desktop beyond the core's Platform: the pointer the
// window procedures set and the keys every loop of theirs takes. The windows hold it as this
// interface, so that they never depend on the platform they run on.
class Desktop
{
public:
    virtual ~Desktop() = default;
    // For WM_SETCURSOR: while the pointer is busy, sets the hourglass and returns true (the
    // window procedure then returns TRUE); otherwise leaves the window's own cursor alone.
    virtual bool applyBusyPointer() const = 0;
    // The keys of the program's windows; null for the dialog manager's alone.
    virtual MessageFilter *messageFilter() const = 0;
};

} // namespace qvx
