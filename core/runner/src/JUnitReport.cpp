#include "runner/JUnitReport.h"

#include <cstdint>
#include <cstdio>

namespace runner {

namespace {

// The length of the valid UTF-8 sequence of a character XML allows at text[i], or 0.
std::size_t validSequence(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = byte(i);
    std::size_t length = 0;
    std::uint32_t code = 0;
    std::uint32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < least || code > 0x10FFFF || surrogate || code == 0xFFFE || code == 0xFFFF) {
        return 0;
    }
    return length;
}

// Text made safe for XML content or an attribute value (inAttribute keeps line breaks and tabs
// as character references, which attribute parsing would otherwise turn into blanks).
std::string escaped(const std::string& text, bool inAttribute) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto u = static_cast<std::uint8_t>(c);
        if (u >= 0x80) {
            const std::size_t length = validSequence(text, i);
            if (length > 0) {
                out.append(text, i, length);
                i += length;
            } else {
                out += static_cast<char>(0xC0 | (u >> 6));
                out += static_cast<char>(0x80 | (u & 0x3F));
                ++i;
            }
            continue;
        }
        ++i;
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += inAttribute ? "&quot;" : "\"";
                break;
            case '\n':
                out += inAttribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += inAttribute ? "&#9;" : "\t";
                break;
            case '\r':
                out += "&#13;";
                break;
            default:
                if (u >= 0x20) {
                    out += c;
                }
                break;
        }
    }
    return out;
}

// The program's log lines end in CR LF; a report reads better with plain line ends.
std::string plainLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        out += text[i];
    }
    return out;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds < 0 ? 0.0 : seconds);
    return text;
}

std::string timestampText(const form::LocalDateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

struct Counts {
    std::size_t tests = 0;
    std::size_t failures = 0;
    std::size_t skipped = 0;
    double seconds = 0;

    void add(const JUnitReport::Suite& suite) {
        for (const JUnitReport::Case& c : suite.cases) {
            ++tests;
            failures += c.outcome == JUnitReport::Outcome::Failed ? 1 : 0;
            skipped += c.outcome == JUnitReport::Outcome::Skipped ? 1 : 0;
        }
        seconds += suite.seconds;
    }

    std::string attributes() const {
        return " tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
               "\" errors=\"0\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
               secondsText(seconds) + "\"";
    }
};

void appendCase(std::string& xml, const JUnitReport::Case& c, const std::string& className) {
    xml += "    <testcase name=\"" + escaped(c.name, true) + "\" classname=\"" +
           escaped(className, true) + "\" time=\"" + secondsText(c.seconds) + "\"";
    if (c.outcome == JUnitReport::Outcome::Passed && c.output.empty()) {
        xml += "/>\n";
        return;
    }
    xml += ">\n";
    if (c.outcome == JUnitReport::Outcome::Skipped) {
        xml += "      <skipped message=\"" + escaped(c.skipReason, true) + "\"/>\n";
    } else if (c.outcome == JUnitReport::Outcome::Failed && !c.message.empty()) {
        xml += "      <failure message=\"" + escaped(c.message, true) + "\" type=\"check\">" +
               escaped(c.message, false) + "</failure>\n";
    } else if (c.outcome == JUnitReport::Outcome::Failed) {
        xml += "      <failure message=\"" +
               escaped("expected " + c.expected + ", read " + c.actual, true) +
               "\" type=\"comparison\">expected: " + escaped(c.expected, false) +
               "\nactual: " + escaped(c.actual, false) + "</failure>\n";
    }
    if (!c.output.empty()) {
        xml += "      <system-out>" + escaped(plainLines(c.output), false) + "</system-out>\n";
    }
    xml += "    </testcase>\n";
}

}  // namespace

std::string JUnitReport::xml() const {
    Counts total;
    for (const Suite& suite : suites) {
        total.add(suite);
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites name=\"" + escaped(name, true) + "\"" + total.attributes() + ">\n";
    for (const Suite& suite : suites) {
        Counts counts;
        counts.add(suite);
        xml += "  <testsuite name=\"" + escaped(suite.name, true) + "\"" + counts.attributes() +
               " timestamp=\"" + timestampText(suite.started) + "\">\n";
        for (const Case& c : suite.cases) {
            appendCase(xml, c, suite.name);
        }
        xml += "  </testsuite>\n";
    }
    xml += "</testsuites>\n";
    return xml;
}

}  // namespace runner
