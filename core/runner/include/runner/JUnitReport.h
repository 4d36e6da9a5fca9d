// The results of a headless script run as a JUnit XML report, the form CI servers (Jenkins,
// GitLab) read: one test suite per pass, one test case per row that compares data.
#pragma once

#include <string>
#include <vector>

#include "form/Host.h"

namespace runner {

struct JUnitReport {
    enum class Outcome { Passed, Failed, Skipped };

    struct Case {
        std::string name;
        Outcome outcome = Outcome::Skipped;
        // For a failed case: the data the row expects and the data that came back.
        std::string expected;
        std::string actual;
        // For a case failed by a check of the script rather than by a comparison: why.
        std::string message;
        // For a skipped case: why it has no result.
        std::string skipReason;
        // The log entries written while the row ran.
        std::string output;
        double seconds = 0;
    };

    struct Suite {
        std::string name;
        form::LocalDateTime started;
        double seconds = 0;
        std::vector<Case> cases;
    };

    // The report's own name (the script's file title).
    std::string name;
    std::vector<Suite> suites;

    // The report as a UTF-8 XML document. Text that is not valid UTF-8 (a script saved in a
    // Windows code page) is taken as Latin-1, and control characters XML cannot carry are
    // dropped, so the document always parses.
    std::string xml() const;
};

}  // namespace runner
