#include "app/ProgramInfo.h"

#include "store/MediaExtensions.h"

#include <gtest/gtest.h>

#include <regex>

namespace velmora {
namespace {

TEST(ProgramInfoTest, HelpAndVersionAreAskedByTheirOptionsAnywhere)
{
    struct Case {
        std::vector<std::string> arguments;
        InfoRequest request;
    };
    for (const Case& c : {Case{{"--help"}, InfoRequest::Help}, Case{{"-h"}, InfoRequest::Help},
                          Case{{"--version"}, InfoRequest::Version},
                          Case{{"/home/me/vault", "--version"}, InfoRequest::Version},
                          Case{{"--version", "--help"}, InfoRequest::Help}, Case{{}, InfoRequest::None},
                          Case{{"-embedding", "photo.jpg", "-help", "help"}, InfoRequest::None}}) {
        std::string joined;
        for (const auto& a : c.arguments)
            joined += a + " ";
        EXPECT_EQ(InfoRequested(c.arguments), c.request) << joined;
    }
    EXPECT_TRUE(std::regex_match(ProgramVersion(), std::regex("[0-9]+\\.[0-9]+\\.[0-9]+")));
}

TEST(ProgramInfoTest, UsageNamesTheStartModesAndEveryMediaExtension)
{
    const std::string usage = VelmoraUsage();
    for (const char* mode : {"velmora [DATA-FOLDER]\n", "velmora [DATA-FOLDER] ARCHIVE.eta",
                             "velmora [DATA-FOLDER] FILE|FOLDER...", "velmora -embedding", "--help", "--version"})
        EXPECT_NE(usage.find(mode), std::string::npos) << mode;

    // The extensions listed are exactly those the library takes.
    const std::regex extension("\\s(\\.[a-z0-9]+)");
    const std::size_t fileLine = usage.find("  FILE ");
    const std::size_t folderLine = usage.find("  FOLDER ");
    ASSERT_NE(fileLine, std::string::npos);
    const std::string listed = usage.substr(fileLine, folderLine - fileLine);
    int count = 0;
    for (auto it = std::sregex_iterator(listed.begin(), listed.end(), extension); it != std::sregex_iterator(); ++it) {
        EXPECT_TRUE(IsSupportedMediaFile("x" + (*it)[1].str())) << (*it)[1].str();
        ++count;
    }
    EXPECT_EQ(count, static_cast<int>(MediaTypes().size()));
}

} // namespace
} // namespace velmora
