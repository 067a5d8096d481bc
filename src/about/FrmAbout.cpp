#include "about/FrmAbout.h"

void FrmAbout::showModal(Platform &)
{
}
