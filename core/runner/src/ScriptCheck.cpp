#include "runner/ScriptCheck.h"

#include <cstring>
#include <string>

#include "board/AtomicFile.h"
#include "board/HexText.h"
#include "board/TextHelpers.h"
#include "runner/JUnitReport.h"
#include "runner/ScriptRunner.h"
#include "script/ScriptLoader.h"

namespace runner {

namespace {

// The line number as the grid's "Line" column shows it.
std::string lineText(int line) {
    std::string digits = std::to_string(line);
    return digits.size() < 3 ? std::string(3 - digits.size(), '0') + digits : digits;
}

JUnitReport checkReport(const std::string& title, const script::ParsedScript& parsed) {
    JUnitReport report;
    report.name = title;
    JUnitReport::Suite suite;
    suite.name = "check " + title;
    for (const script::ScriptRow& row : parsed.rows) {
        JUnitReport::Case c;
        c.name = "Line " + lineText(row.lineNumber);
        c.outcome =
            row.findings.empty() ? JUnitReport::Outcome::Passed : JUnitReport::Outcome::Failed;
        for (const script::ScriptFinding& f : row.findings) {
            c.message +=
                (c.message.empty() ? "reads " : "; reads ") + f.read + ", because " + f.why;
        }
        suite.cases.push_back(std::move(c));
    }
    report.suites.push_back(std::move(suite));
    return report;
}

}  // namespace

int checkScript(const RunnerOptions& options, std::ostream& out, std::ostream& err) {
    const std::string title = board::fileTitle(options.script);
    // The default address as Enter in the window's address box applies it: a value too large
    // leaves the window's own 60.
    const std::int16_t address = board::HexVal(options.address);
    script::LoadOptions load;
    load.defaultWriteAddr =
        static_cast<std::uint8_t>(address >= 0 && address < 255 ? address : 0x60);
    load.fileTitle = title;
    const script::ScriptLoadResult loaded = script::loadScriptFile(options.script, load);
    if (!loaded.ok) {
        err << "velmorix-script: " << loaded.errorText << '\n';
        return kUsageOrLoad;
    }
    const std::vector<script::ScriptFinding> findings = script::scriptFindings(loaded.script);
    for (const script::ScriptFinding& f : findings) {
        out << options.script << ':' << f.line << ": reads " << f.read << ", because " << f.why
            << '\n';
    }
    out << findings.size() << (findings.size() == 1 ? " finding" : " findings") << '\n';
    if (!options.junitPath.empty()) {
        const std::string xml = checkReport(title, loaded.script).xml();
        if (const int failure = board::replaceFileAtomically(options.junitPath, xml);
            failure != 0) {
            err << "velmorix-script: cannot write " << options.junitPath << ": "
                << std::strerror(failure) << '\n';
            return kUsageOrLoad;
        }
    }
    return findings.empty() ? kAllPassed : kComparisonFailed;
}

}  // namespace runner
