#include "journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace regsim {

Journal::Journal(const std::string& path)
{
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) throw std::runtime_error(path + ": cannot be opened for the journal: " + std::strerror(errno));
}

Journal::~Journal()
{
    if (fd_ >= 0) close(fd_);
}

void Journal::Write(nlohmann::json line)
{
    line["seq"] = ++seq_;
    if (!line.contains("violation")) line["violation"] = nullptr;
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (!line["violation"].is_null()) {
        ++violations_;
        std::fprintf(stderr, "regsim: violation (journal line %d): %s\n", seq_,
                     line["violation"].get<std::string>().c_str());
    }
    if (fd_ < 0) return;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::fprintf(stderr, "regsim: journal write failed: %s\n", std::strerror(errno));
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void Journal::Event(const std::string& event, const std::string& detail, const std::string& violation)
{
    nlohmann::json line = {{"event", event}, {"detail", detail}};
    line["violation"] = violation.empty() ? nlohmann::json(nullptr) : nlohmann::json(violation);
    Write(std::move(line));
}

std::vector<nlohmann::json> ReadJournal(const std::string& path)
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::vector<std::string> JournalViolations(const std::string& path)
{
    std::vector<std::string> out;
    for (const nlohmann::json& line : ReadJournal(path))
        if (line.contains("violation") && line["violation"].is_string()) out.push_back(line["violation"]);
    return out;
}

}  // namespace regsim
