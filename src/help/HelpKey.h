#pragma once

class Platform;

// F1 in any window of the program opens the application's help file at its contents.
void installHelpKey(Platform &platform);
