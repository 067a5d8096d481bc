#pragma once

#include "qvx/helpviewerapp/CommandLine.h"

#include <QMainWindow>

namespace qvx::helpviewerapp {

// Serves what a command line asks for: each file in its window, at the place asked, or an
// empty window when it names none.
void serve(const CommandLine &line);

// The window the viewer shows before any file is open: File > Open, and the files opened last.
class StartWindow : public QMainWindow
{
    Q_OBJECT

public:
    StartWindow();
};

} // namespace qvx::helpviewerapp
