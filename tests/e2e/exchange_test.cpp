// The command exchange as the host sees it through the library: the protocol
// trace and a report's time-out. A report's progress lines are pinned by the
// service functions' test.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "host_lines.h"
#include "register_session.h"

namespace {
const std::string kMark = "\x01";

// The lines of the one protocol trace file of the session's exchange folder,
// each with its CR.
std::vector<std::string> TraceLines(const RegisterSession& s)
{
    const std::vector<std::filesystem::directory_entry> files(std::filesystem::directory_iterator(s.tmp.File("log")), {});
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? std::vector<std::string>{} : testutil::ReadLines(files[0].path());
}

const std::string kReportWait = "Czekaj na wykonanie raportu na kasie...";
}  // namespace

TEST(Exchange, TraceHoldsEveryFrameUnderItsCommandName)
{
    RegisterSession s(testutil::ReadFile(REGSIM_SCENARIOS "/demo.json"), R"({"20": {"1": "wrongToken"}})");
    s.host.SetParam("ComboDedbug", "1");
    ASSERT_EQ(s.Run(-1), 0);
    for (const HostLine& line : s.host.lines) EXPECT_NE(line.kind, 2) << line;

    // Each request the register took: its name, then the frame sent, the retry
    // flag 0x10 doubled right after STX; each answer: the frame received.
    std::vector<std::string> trace, expected;
    const std::regex frameLine(R"(\d\d:\d\d:\d\d\.\d{3} (->|<-) (.*)\r)");
    const std::regex sent(R"(<SYN><STX>(<SYN><SYN>)?.*<SYN><ETX>)"), answer(R"(<STX>.*<ETX>)");
    for (const std::string& line : TraceLines(s))
        if (std::smatch m, f; std::regex_match(line, m, frameLine)) {
            const std::string data = m[2];
            trace.push_back(m[1].str() + (std::regex_match(data, f, sent) ? (f[1].matched ? "retry" : "frame")
                                          : std::regex_match(data, answer) ? "answer" : data));
        }
    const auto journal = s.Journal();
    for (const auto& request : journal) {
        const bool retry = request["retry"].get<bool>();
        if (!retry) expected.push_back("->" + request["name"].get<std::string>());
        expected.insert(expected.end(), {retry ? "->retry" : "->frame", "<-answer"});
    }
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(journal.size(), 14u);  // the connection test's 13 commands and one repetition
}

TEST(Exchange, ReportTimeOutOfZeroEndsAtTheFirstEmptyTry)
{
    RegisterSession s("", R"({"1171": {"1": {"kind": "unfinishedReport", "pollIntervalMs": 20}}})");
    s.host.SetParam("ComboComplexOrdTimeout", "0");
    EXPECT_EQ(s.Run(-8, 5), 0);
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 1171}));
    EXPECT_TRUE(testutil::Contains(s.host.lines, HostLine{false, 2, "Kasa nie wyrobiła się w czasie. Zwiększ timeout "
                                                                    "wykonania sekw. ZŁOŻONEJ"}));
    for (const HostLine& line : s.host.lines) EXPECT_NE(line.text, kReportWait + ":" + kMark + "5");
}
