#pragma once

class Platform;

class FrmAbout
{
public:
    // Creates the About window afresh and shows it modally.
    static void showModal(Platform &platform);
};
