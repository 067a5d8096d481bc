#include "BuildInfo.h"
#include "app/Module1.h"

namespace Module1 {

void OpenFlashBackSite(Platform &platform)
{
    ShellOpen(platform, QString::fromUtf8(BuildInfo::recorderPage));
}

} // namespace Module1
