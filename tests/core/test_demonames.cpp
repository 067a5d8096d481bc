#include "RecordingPlatform.h"
#include "qvx/core/DemoNames.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Maps one letter beyond the basic plane as well, to show a four-byte result fits.
class DeseretPlatform : public RecordingPlatform
{
public:
    char32_t upperCase(char32_t c) override
    {
        return c == U'\U00010428' ? U'\U00010400' : RecordingPlatform::upperCase(c);
    }
};

TEST(DemoNames, derivedFromTheArchiveName)
{
    // UTF-8 letters, upper and lower case, and one past the basic plane.
    const std::string e = "\xC3\xA9", E = "\xC3\x89", u = "\xC3\xBC", U = "\xC3\x9C";
    const std::string d = "\xF0\x90\x90\xA8", D = "\xF0\x90\x90\x80";
    const std::string smiley = "\xF0\x9F\x98\x80";
    const struct
    {
        std::string archive;
        std::string unpacked;
        std::string demo;
    } cases[] = {
        {"ZIP_ticket_setup.exe", "Qvx3_Tic.exe", "QVX3 Ticket Setup.exe"},
        // Fifteen underscores: only the first eleven become blanks.
        {"ZIP_a_b_c_d_e_f_g_h_i_j_k_l_m_n_o_p.exe", "Qvx3_A_b.exe",
         "QVX3 A B C D E F G H I J K L_m_n_o_p.exe"},
        // The fourth character goes whatever it is.
        {"ZIPxreports.exe", "Qvx3_Rep.exe", "QVX3 Reports.exe"},
        {"ZIP" + smiley + "demo.exe", "Qvx3_Dem.exe", "QVX3 Demo.exe"},
        {"ZIP_a__b.exe", "Qvx3_A__.exe", "QVX3 A  B.exe"},
        {"ZIP_.exe", "Qvx3_.ex.exe", "QVX3 .exe"},
        {"ZI", "Qvx3_.exe", "QVX3 "},
        // Multi-byte letters are counted and upper-cased whole.
        {"ZIP_" + e + "clair_" + u + "ber.exe", "Qvx3_" + E + "cl.exe",
         "QVX3 " + E + "clair " + U + "ber.exe"},
        {"ZIP_" + d + "ab_" + d + ".exe", "Qvx3_" + D + "ab.exe", "QVX3 " + D + "ab " + D + ".exe"},
        // A byte that does not decode is one character and keeps its value.
        {"ZIP_caf\xE9_demo.exe", "Qvx3_Caf.exe", "QVX3 Caf\xE9 Demo.exe"},
        {"ZIP_\xE9t\xE9_\xE9.exe", "Qvx3_\xE9t\xE9.exe", "QVX3 \xE9t\xE9 \xE9.exe"},
        {"ZIP_\xC3", "Qvx3_\xC3.exe", "QVX3 \xC3"},
    };
    DeseretPlatform platform;
    for (const auto &c : cases) {
        const qvx::Prepare::DerivedNames names = qvx::Prepare::deriveNames(platform, c.archive);
        EXPECT_EQ(names.unpackedFile, c.unpacked) << c.archive;
        EXPECT_EQ(names.demoFile, c.demo) << c.archive;
    }
}

TEST(DemoNames, promptNamesTheCountUnlessAButtonAsked)
{
    const std::string rest =
        " The program will take a moment to prepare the files.\r\rThe DOS window will open as "
        "the files are extracted. If it does not close automatically, you may close it when the "
        "process is finished.";
    EXPECT_EQ(qvx::Prepare::promptText(1, false), "A new demo has been found." + rest);
    EXPECT_EQ(qvx::Prepare::promptText(2, false), "New demos have been found." + rest);
    EXPECT_EQ(qvx::Prepare::promptText(1, true), rest);
    EXPECT_EQ(qvx::Prepare::promptText(3, true), rest);
}

} // namespace
