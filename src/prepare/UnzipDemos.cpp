#include "app/FrmPlayDemos.h"

void FrmPlayDemos::func_UnzipDemos(bool bCalledFromButtonClick)
{
    Q_UNUSED(bCalledFromButtonClick)
}
