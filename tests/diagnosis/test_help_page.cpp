// The help document's page on likely causes is the one built from the causes' texts.

#include "diagnosis/help_page.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

constexpr const char* kHelp = VANTREL_SOURCE_DIR "/docs/help/Vantrel.html";
constexpr std::string_view kBegin = "<!-- likely causes: built by causesHelpPage() -->\n";
constexpr std::string_view kEnd = "<!-- end of likely causes -->\n";

// Run with VANTREL_UPDATE_HELP=1 to write the page built now into the document.
TEST(HelpPage, TheDocumentCarriesThePageBuiltFromTheCauses) {
    std::ifstream in(kHelp);
    std::stringstream text;
    text << in.rdbuf();
    std::string document = text.str();
    const std::size_t begin = document.find(kBegin);
    const std::size_t end = document.find(kEnd);
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::size_t from = begin + kBegin.size();
    const std::string page = causesHelpPage();
    if (std::getenv("VANTREL_UPDATE_HELP") != nullptr) {
        document.replace(from, end - from, page);
        std::ofstream(kHelp) << document;
        return;
    }
    EXPECT_EQ(document.substr(from, end - from), page)
        << "run the test with VANTREL_UPDATE_HELP=1 to rebuild the page";
}

} // namespace
