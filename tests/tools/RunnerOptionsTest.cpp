#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/RunnerCommandLine.h"

namespace {

using tools::parseRunnerOptions;

TEST(RunnerOptions, AllOptions_Parsed) {
    std::string error;
    auto options = parseRunnerOptions(
        {"--bridge",        "sim:bench.json", "--address", "3c",        "--loop",   "3",
         "--abort-on-fail", "--sample",       "--pause",   "abort",     "--record", "out.txt",
         "--append",        "--grid",         "-",         "--log",     "log.txt",  "--junit",
         "report.xml",      "--trace",        "--check",   "script.txt"},
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
    EXPECT_TRUE(options->check);
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
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{}, "no script given (see --help)"},
        {{"a.txt", "b.txt"}, "only one script can be run, got \"a.txt\" and \"b.txt\""},
        {{"--loop", "0", "s.txt"}, "--loop takes a number of passes of at least 1, not \"0\""},
        {{"--loop", "x", "s.txt"}, "--loop takes a number of passes of at least 1, not \"x\""},
        {{"--loop"}, "--loop: 1 required N missing"},
        {{"--pause", "maybe", "s.txt"}, "--pause takes continue or abort, not \"maybe\""},
        {{"--address", "G1", "s.txt"}, "--address takes a hex address such as 60, not \"G1\""},
        {{"--address", "12345", "s.txt"},
         "--address takes a hex address such as 60, not \"12345\""},
        {{"--append", "s.txt"}, "--append needs --record FILE"},
        {{"--frobnicate", "s.txt"}, "unknown option --frobnicate"},
        {{"--junit", "-", "s.txt"}, "--junit needs a file name; the report cannot go to stdout"},
    };
    for (const auto& [args, reason] : bad) {
        std::string error;
        EXPECT_FALSE(parseRunnerOptions(args, error)) << reason;
        EXPECT_EQ(error, reason);
    }
}

TEST(RunnerOptions, HelpWithoutScript_Accepted) {
    std::string error;
    auto options = parseRunnerOptions({"--help"}, error);
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->help);
}

}  // namespace
