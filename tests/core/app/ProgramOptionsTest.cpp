// The window program's command line: what each argument list gives, and what is refused why.
#include <gtest/gtest.h>

#include "app/ProgramOptions.h"

namespace {

struct Given {
    std::vector<std::string> args;
    std::optional<std::string> bridge;
    bool help;
    bool version;
    std::vector<std::string> rest;
};

TEST(ProgramOptions, Accepted_EachListGivesItsOptions) {
    const std::vector<Given> cases = {
        {{}, std::nullopt, false, false, {}},
        {{"--bridge", "sim"}, "sim", false, false, {}},
        {{"--bridge=sim:bench.json"}, "sim:bench.json", false, false, {}},
        {{"--bridge", "usb", "--bridge", "sim"}, "sim", false, false, {}},
        {{"-h"}, std::nullopt, true, false, {}},
        {{"--help", "--version"}, std::nullopt, true, true, {}},
        {{"-platform", "offscreen", "--bridge", "sim"},
         "sim",
         false,
         false,
         {"-platform", "offscreen"}},
    };
    for (const Given& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::string error;
        const auto options = app::parseProgramOptions(c.args, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->bridge, c.bridge);
        EXPECT_EQ(options->help, c.help);
        EXPECT_EQ(options->version, c.version);
        EXPECT_EQ(options->rest, c.rest);
    }
}

TEST(ProgramOptions, Refused_SaysWhyInOneLine) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bridge"}, "--bridge needs a bridge such as sim (see --help)"},
        {{"--bridge", "--help"}, "--bridge needs a bridge such as sim (see --help)"},
        {{"--bridge="}, "--bridge needs a bridge such as sim (see --help)"},
        {{"--brdge", "sim"}, "unknown option --brdge (see --help)"},
    };
    for (const auto& [args, why] : cases) {
        std::string error;
        EXPECT_FALSE(app::parseProgramOptions(args, error));
        EXPECT_EQ(error, why);
    }
}

}  // namespace
