// What the command line prints as the result of show, check and compare: one line (or
// lines) for people, or with --json one JSON object for scripts, holding the same facts.
#pragma once

#include <string>
#include <vector>

#include "config_comparison.h"
#include "config_values.h"
#include "port_probe.h"
#include "port_survey.h"
#include "write_check.h"

namespace varnix {

// The relay settings and the count of numbers a device or a file holds.
struct ConfigSummary {
    std::string timeout;  // as held: digits when it is a number
    bool externalDisconnect = false;
    int numbers = 0;
};
ConfigSummary Summarise(const ConfigValues& values);

// "COM1 holds: relay time-out 250 ms, external disconnection off, 12 numbers."
std::string ShowLine(const std::string& port, const ConfigSummary& held);
std::string ShowJson(const std::string& port, const ConfigSummary& held);

// What `check` found: the values against the write's check, and whether the file lacks
// the relay settings a write then needs from the options.
struct CheckFindings {
    std::string file;
    ConfigSummary values;
    WriteCheck check;
    bool needsSettings = false;
};
// "list.csv can be written to a device: 12 numbers, ..." with what a write still needs.
std::string CheckLine(const CheckFindings& findings);
std::string CheckJson(const CheckFindings& findings);

// ports --json: {"ports":[{"name":"COM1","path":"/dev/ttyS0",...}]}.
std::string PortsJson(const std::vector<PortFacts>& ports);

// What --port auto found on a port it tried: "answered", "silent", "busy", ...
std::string ProbeOutcome(const ProbeResult& result);

std::string CompareJson(const std::string& port, const std::string& file,
                        const std::vector<ConfigDifference>& differences);

}  // namespace varnix
