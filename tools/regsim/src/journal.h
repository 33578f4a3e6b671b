// The journal: one JSON line per request the register decoded (and per link
// event), appended and flushed at once so that a test can read it while the
// simulator runs. Every line carries "violation": null or a text; a violation
// is also printed on stderr. Tests read it back with ReadJournal.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace regsim {

class Journal {
public:
    Journal() = default;                        // no file: violations still go to stderr
    explicit Journal(const std::string& path);  // throws std::runtime_error
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Adds "seq" (and "violation": null when missing) and writes the line.
    void Write(nlohmann::json line);
    // A link event: connect, disconnect, channel, stray, garbled, ignored.
    void Event(const std::string& event, const std::string& detail, const std::string& violation = {});

    int Violations() const { return violations_; }
    int Lines() const { return seq_; }

private:
    int fd_ = -1;
    int seq_ = 0;
    int violations_ = 0;
};

// Every line of a journal file, parsed.
std::vector<nlohmann::json> ReadJournal(const std::string& path);
// The violation texts of a journal file, in order.
std::vector<std::string> JournalViolations(const std::string& path);

}  // namespace regsim
