#pragma once

// Makes the window fonts available where the system has them only outside its font
// configuration (the Tahoma-metric faces that come with the Windows compatibility fonts).
void registerWindowFonts();
