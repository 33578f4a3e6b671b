// The command exchange as the host sees it through the library: the protocol
// trace, a report's time-out, and the operations whose runs the driver does
// not have. A report's progress lines are pinned by the service functions' test.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "register_session.h"

namespace {
const std::string kMark = "\x01";

// The lines of the one protocol trace file of the session's exchange folder.
std::vector<std::string> TraceLines(const RegisterSession& s)
{
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(s.tmp.File("log"))) files.push_back(e.path().string());
    EXPECT_EQ(files.size(), 1u);
    if (files.empty()) return {};
    const std::string text = testutil::ReadFile(files[0]);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// The texts of the lines of one kind.
std::vector<std::string> LinesOfKind(const RegisterSession& s, int kind)
{
    std::vector<std::string> texts;
    for (const HostLine& line : s.host.lines)
        if (line.kind == kind) texts.push_back(line.text);
    return texts;
}

bool Has(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

const std::string kReportWait = "Czekaj na wykonanie raportu na kasie...";
}  // namespace

TEST(Exchange, TraceHoldsEveryFrameUnderItsCommandName)
{
    RegisterSession s(testutil::ReadFile(REGSIM_SCENARIOS "/demo.json"), R"({"20": {"1": "wrongToken"}})");
    s.host.SetParam("ComboDedbug", "1");
    ASSERT_EQ(s.Run(-1), 0);
    EXPECT_TRUE(s.Violations().empty());
    EXPECT_TRUE(LinesOfKind(s, 2).empty());

    // Each request the register took: its name, then the frame sent; each
    // answer: the frame received.
    struct TraceLine {
        std::string prefix, data;
    };
    std::vector<TraceLine> trace;
    const std::regex frameLine(R"(\d\d:\d\d:\d\d\.\d{3} (->|<-) (.*))");
    for (const std::string& line : TraceLines(s))
        if (std::smatch m; std::regex_match(line, m, frameLine)) trace.push_back({m[1], m[2]});
    const auto journal = s.Journal();
    size_t at = 0;
    for (size_t i = 0; i < journal.size(); ++i) {
        const bool retry = journal[i]["retry"].get<bool>();
        if (!retry) {
            ASSERT_LT(at, trace.size());
            EXPECT_EQ(trace[at].prefix, "->");
            EXPECT_EQ(trace[at].data, journal[i]["name"].get<std::string>()) << "request " << i;
            ++at;
        }
        ASSERT_LT(at, trace.size());
        EXPECT_EQ(trace[at].prefix, "->");
        EXPECT_TRUE(trace[at].data.starts_with("<SYN><STX>")) << trace[at].data;
        EXPECT_TRUE(trace[at].data.ends_with("<SYN><ETX>")) << trace[at].data;
        // The retry flag 0x10 goes out doubled right after STX.
        EXPECT_EQ(trace[at].data.starts_with("<SYN><STX><SYN><SYN>"), retry) << "request " << i;
        ++at;
        ASSERT_LT(at, trace.size());
        EXPECT_EQ(trace[at].prefix, "<-");
        EXPECT_TRUE(trace[at].data.starts_with("<STX>")) << trace[at].data;
        EXPECT_TRUE(trace[at].data.ends_with("<ETX>")) << trace[at].data;
        ++at;
    }
    EXPECT_EQ(at, trace.size());
    EXPECT_EQ(journal.size(), 14u);  // the connection test's 13 commands and one repetition
}

TEST(Exchange, ReportTimeOutOfZeroEndsAtTheFirstEmptyTry)
{
    RegisterSession s("", R"({"1171": {"1": {"kind": "unfinishedReport", "pollIntervalMs": 20}}})");
    s.host.SetParam("ComboComplexOrdTimeout", "0");
    EXPECT_EQ(s.Run(-8, 5), 0);
    EXPECT_TRUE(s.Violations().empty());
    EXPECT_EQ(s.Commands(), (std::vector<int>{501, 1171}));
    const auto errors = LinesOfKind(s, 2);
    EXPECT_TRUE(Has(errors, "Kasa nie wyrobi\xB3" "a si\xEA w czasie. Zwi\xEAksz timeout wykonania sekw. Z\xA3O\xAF"
                            "ONEJ"));
    for (const HostLine& line : s.host.lines) EXPECT_NE(line.text, kReportWait + ":" + kMark + "5");
}

TEST(Exchange, SingleReceiptImportIsRefused)
{
    RegisterSession s;
    EXPECT_EQ(s.Run(-4), 0);
    const std::vector<std::string> expected = {
        "Podczas wykonywania operacji 'import paragonu' wyst\xB9pi\xB3 b\xB3\xB9" "d:",
        "Wykonaj normalny import z kasy z w\xB3\xB9" "czonym importem par. szczeg\xF3\xB3owych"};
    EXPECT_EQ(LinesOfKind(s, 2), expected);
    EXPECT_TRUE(s.Commands().empty());
    EXPECT_TRUE(s.Violations().empty());
}
