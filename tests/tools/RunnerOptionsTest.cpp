#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/RunnerOptions.h"

namespace {

using tools::parseRunnerOptions;

TEST(RunnerOptions, AllOptions_Parsed) {
    std::string error;
    auto options = parseRunnerOptions(
        {"--bridge",        "sim:bench.json", "--address", "3c",    "--loop",   "3",
         "--abort-on-fail", "--sample",       "--pause",   "abort", "--record", "out.txt",
         "--append",        "--grid",         "-",         "--log", "log.txt",  "--junit",
         "report.xml",      "--trace",        "script.txt"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->script, "script.txt");
    EXPECT_EQ(options->bridge, "sim:bench.json");
    EXPECT_EQ(options->address, "3c");
    EXPECT_EQ(options->loops, 3);
    EXPECT_TRUE(options->abortOnFail);
    EXPECT_TRUE(options->sample);
    EXPECT_FALSE(options->pauseContinues);
    EXPECT_EQ(options->recordPath, "out.txt");
    EXPECT_TRUE(options->append);
    EXPECT_EQ(options->gridPath, "-");
    EXPECT_EQ(options->logPath, "log.txt");
    EXPECT_EQ(options->junitPath, "report.xml");
    EXPECT_TRUE(options->trace);
}

TEST(RunnerOptions, Defaults_OneRunAtAddress60) {
    std::string error;
    auto options = parseRunnerOptions({"s.txt"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->address, "60");
    EXPECT_EQ(options->loops, 0);
    EXPECT_TRUE(options->pauseContinues);
    EXPECT_FALSE(options->bridge);
}

TEST(RunnerOptions, UsageErrors_RefusedWithReason) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a.txt", "b.txt"},
        {"--loop", "0", "s.txt"},
        {"--loop", "x", "s.txt"},
        {"--loop"},
        {"--bridge", "serial", "s.txt"},
        {"--bridge", "sim:", "s.txt"},
        {"--pause", "maybe", "s.txt"},
        {"--address", "G1", "s.txt"},
        {"--address", "12345", "s.txt"},
        {"--append", "s.txt"},
        {"--frobnicate", "s.txt"},
        {"--junit", "-", "s.txt"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parseRunnerOptions(args, error)) << args.size();
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(RunnerOptions, HelpWithoutScript_Accepted) {
    std::string error;
    auto options = parseRunnerOptions({"--help"}, error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->help);
}

}  // namespace
