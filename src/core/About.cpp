#include "qvx/core/About.h"

#include "BuildInfo.h"
#include "qvx/core/AboutTexts.h"
#include "qvx/core/Module1.h"

namespace qvx {

namespace {
// The coloured badge lies exactly over the grey one.
constexpr ControlId colourBadge{"Image2", 0};
} // namespace

void AboutPresenter::Form_Load()
{
    Form_Load(BuildInfo::legalCopyright);
}

void AboutPresenter::Form_Load(std::string_view legalCopyright)
{
    Module1::CenterForm(m_view);
    m_view.takeMainWindowIcon();
    m_view.setWindowCaption(about::captionText());
    m_view.setCaption({"lblVersion"}, about::versionText(legalCopyright));
    m_view.setCaption({"lblTitle"}, about::titleText());
    m_view.setCaption({"lblDescription"}, about::descriptionText());
    m_view.setCaption({"lblContactInfo"}, about::contactText());
}

void AboutPresenter::cmdOK_Click()
{
    m_view.unload();
}

void AboutPresenter::Image2_Click(int)
{
    Module1::OpenFlashBackSite(m_platform);
}

void AboutPresenter::Image2_MouseMove(int)
{
    m_view.setControlVisible(colourBadge, true);
}

void AboutPresenter::Form_MouseMove()
{
    m_view.setControlVisible(colourBadge, false);
}

} // namespace qvx
