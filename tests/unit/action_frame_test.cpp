// The action frame as the host sees it: message lines with their state
// suffixes, progress, and the three forms of the last-resort handler.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "emexception.h"
#include "inprocess_host.h"

namespace {
using Sent = HostLine;

class ActionFrame : public ::testing::Test {
protected:
    InProcessHost in;
    std::unique_ptr<TVelComboAction> action;

    void SetUp() override
    {
        in.Start();
        action = in.NewAction();
    }
    std::vector<Sent>& Lines() { return in.host.lines; }
};
}  // namespace

TEST_F(ActionFrame, AddedLinesCarryTheirStateSuffix)
{
    action->MsgAdd("pierwsza\r\ndruga", LPV_Ok, 100);
    action->MsgAdd("procent", LPV_Percent, 10);
    action->MsgAdd("a\nb", LPV_Value, 10);
    action->MsgAdd("ostrzeżenie", LPV_Warning, 10);
    action->MsgAdd("błąd", LPV_Error, 10);
    action->MsgAdd("zwykła", LPV_None, 10);
    const std::vector<Sent> expected = {
        {false, 0, "pierwsza"},      {false, 0, "druga\x01OK"},  {false, 0, "procent:\x01" "0 %"},
        {false, 0, "a\x01" "0"},     {false, 0, "b:\x01" "0"},   {false, 1, "ostrze\xBF" "enie"},
        {false, 2, "b\xB3\xB9" "d"}, {false, 0, "zwyk\xB3" "a"},
    };
    EXPECT_EQ(Lines(), expected);
}

TEST_F(ActionFrame, ProgressRewritesTheLastLine)
{
    action->MsgAdd("Towary", LPV_Percent, 0);  // a maximum below 1 counts as 1
    action->MsgP(3);
    action->MsgP(3);  // the same value sends nothing
    action->MsgS(LPV_Ok);
    action->MsgS(LPV_Ok);  // the same state sends nothing
    action->MsgAdd("Licznik", LPV_Value, 100);
    action->MsgP(7);
    action->MsgS(LPV_Error);
    const std::vector<Sent> expected = {
        {false, 0, "Towary:\x01" "0 %"}, {true, 0, "Towary:\x01" "300 %"}, {true, 0, "Towary\x01OK"},
        {false, 0, "Licznik:\x01" "0"},  {true, 0, "Licznik:\x01" "7"},    {true, 2, "Licznik"},
    };
    EXPECT_EQ(Lines(), expected);
    EXPECT_EQ(action->PodajOstatniKomunikat(false), "Licznik");

    action->MsgAdd("Dużo", LPV_Percent, 100000000);
    action->MsgP(50000000);
    EXPECT_EQ(Lines().back().text, "Du\xBFo:\x01" "50 %") << "the percent of a large count does not wrap";
}

TEST_F(ActionFrame, ProgressOnLinesWithoutAValueSendsNothingButIsKept)
{
    for (LPVState s : {LPV_Ok, LPV_Error, LPV_Warning, LPV_None}) {
        Lines().clear();
        action->MsgAdd("x", s, 100);
        action->MsgP(5);
        EXPECT_EQ(Lines().size(), 1u) << s;
    }
    // The value was kept: showing it as a value now shows 5.
    action->MsgS(LPV_Value);
    EXPECT_EQ(Lines().back().text, "x:\x01" "5");
}

TEST_F(ActionFrame, ALineOfItsOwnAfterTheStepKeepsItsTextAndStateAndTheStepComesBackBelowIt)
{
    // A warning or an error sent on its own, or a warning added as a line:
    // progress and state show the step again under it, then rewrite that.
    const std::pair<int, std::function<void()>> ownLines[] = {
        {1, [&] { action->DodajKomunikat(zkOstrzezenie, "uwaga"); }},
        {1, [&] { action->MsgAdd("uwaga", LPV_Warning, 100); }},
        {2, [&] { action->DodajKomunikat(zkBlad, "uwaga"); }}};
    for (const auto& [kind, addOwnLine] : ownLines) {
        Lines().clear();
        action->MsgAdd("Krok", LPV_Value, 100);
        addOwnLine();
        action->MsgP(2);
        action->MsgP(3);
        action->MsgS(LPV_Ok);
        EXPECT_EQ(Lines(), (std::vector<Sent>{{false, 0,
                                               "Krok:\x01"
                                               "0"},
                                              {false, kind, "uwaga"},
                                              {false, 0,
                                               "Krok:\x01"
                                               "2"},
                                              {true, 0,
                                               "Krok:\x01"
                                               "3"},
                                              {true, 0, "Krok\x01OK"}}))
            << kind;
    }
    // A step failing after its warnings: its failure is a line of its own.
    Lines().clear();
    action->MsgAdd("Weryfikacja", LPV_None, 100);
    action->DodajKomunikat(zkOstrzezenie, "Forma 2");
    action->DodajKomunikat(zkOstrzezenie, "Forma 6");
    action->MsgS(LPV_Error);
    EXPECT_EQ(Lines(),
              (std::vector<Sent>{
                  {false, 0, "Weryfikacja"}, {false, 1, "Forma 2"}, {false, 1, "Forma 6"}, {false, 2, "Weryfikacja"}}));
}

TEST_F(ActionFrame, AFailureMarkedAfterACleanUpIsTheFailedSteps)
{
    // Marked by the step itself before the clean-up: nothing more; not yet
    // marked: shown again below the clean-up's lines.
    for (const bool markedFirst : {true, false}) {
        Lines().clear();
        action->MsgAdd("Czyszczenie", LPV_None, 100);
        if (markedFirst) action->MsgS(LPV_Error);
        const TVelActionBase::Step failed = action->CurrentStep();
        action->MsgAdd("Zamykanie", LPV_None, 100);
        action->MsgS(LPV_Ok);
        action->MsgAdd("Odblokowanie", LPV_None, 100);
        action->ResumeStep(failed);
        action->MsgS(LPV_Error);
        std::vector<Sent> expected = {{false, 0, "Czyszczenie"}, {false, 0, "Zamykanie"},
                                      {true, 0, "Zamykanie\x01OK"}, {false, 0, "Odblokowanie"}};
        if (markedFirst)
            expected.insert(expected.begin() + 1, {true, 2, "Czyszczenie"});
        else
            expected.push_back({false, 2, "Czyszczenie"});
        EXPECT_EQ(Lines(), expected) << markedFirst;
    }
    // A clean-up that showed nothing leaves the step the host's last line.
    Lines().clear();
    action->MsgAdd("Krok", LPV_None, 100);
    action->ResumeStep(action->CurrentStep());
    action->MsgS(LPV_Error);
    EXPECT_EQ(Lines(), (std::vector<Sent>{{false, 0, "Krok"}, {true, 2, "Krok"}}));
}

TEST_F(ActionFrame, BeforeTheFirstStepAFailureMarksNoLine)
{
    action->MsgP(3);
    action->MsgS(LPV_Error);
    action->MsgS(LPV_Ok);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(ActionFrame, AnEmptyTextLeavesTheEarlierLineCurrent)
{
    action->MsgAdd("Krok", LPV_Percent, 4);
    action->MsgAdd("", LPV_Ok, 100);
    action->MsgP(2);
    ASSERT_EQ(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1], (Sent{true, 0, "Krok:\x01" "50 %"}));
    EXPECT_EQ(action->PodajOstatniKomunikat(true), "Krok:");
}

TEST_F(ActionFrame, LastResortHandlerHasThreeForms)
{
    action->OstatecznePrzechwycenieBledu("eksport", nullptr);
    EXPECT_EQ(Lines().back(),
              (Sent{false, 2, "Podczas wykonywania operacji 'eksport' wyst\xB9pi\xB3 nierozpoznawalny b\xB3\xB9" "d"}));

    Lines().clear();
    EAbort abort;
    action->OstatecznePrzechwycenieBledu("eksport", &abort);
    EXPECT_EQ(Lines(), (std::vector<Sent>{{false, 2, "Operacja 'eksport' zosta\xB3" "a przerwana"}}));

    Lines().clear();
    Exception plain("Pierwsza\r\nDruga");
    action->OstatecznePrzechwycenieBledu("import", &plain);
    EXPECT_EQ(Lines(), (std::vector<Sent>{{false, 2, "Podczas wykonywania operacji 'import' wyst\xB9pi\xB3 b\xB3\xB9" "d:"},
                                          {false, 2, "Pierwsza"},
                                          {false, 2, "Druga"}}));

    Lines().clear();
    EMException topics("E1", "Tytuł 1", "Opis 1");
    topics.AddTopic("E2", "Tytuł 2", "Opis 2");
    action->OstatecznePrzechwycenieBledu("import", &topics);
    EXPECT_EQ(std::vector<Sent>(Lines().begin() + 1, Lines().end()),
              (std::vector<Sent>{{false, 2, "Tytu\xB3 1"}, {false, 2, "Opis 1"}, {false, 2, "Tytu\xB3 2"},
                                 {false, 2, "Opis 2"}}));
}

TEST_F(ActionFrame, StopPollingFollowsTheHostAndAMissingCallbackMeansStop)
{
    EXPECT_FALSE(action->CzyPrzerwac());
    in.host.stopAfterPolls = in.host.polls + 1;  // one more poll says go on, the next says stop
    EXPECT_NO_THROW(action->SprawdzCzyPrzerwac());
    EXPECT_THROW(action->SprawdzCzyPrzerwac(), EAbort);
    in.library->RejestrujCallback(nullptr, 5);
    in.host.stopAfterPolls = -1;
    EXPECT_TRUE(action->CzyPrzerwac());
}

TEST_F(ActionFrame, ProgressShowsEveryRecordThenEveryTenthThenEveryTwentyFifth)
{
    action->MsgAdd("Towary", LPV_Value, 1000);
    int counter = 0;
    for (int i = 0; i < 1000; ++i) action->Progress(counter);
    std::vector<int> shown;
    for (const Sent& s : Lines())
        if (s.replaced) shown.push_back(std::stoi(s.text.substr(s.text.find('\x01') + 1)));
    std::vector<int> expected;
    for (int n = 1; n <= 30; ++n) expected.push_back(n);
    for (int n = 40; n <= 200; n += 10) expected.push_back(n);
    for (int n = 225; n <= 1000; n += 25) expected.push_back(n);
    EXPECT_EQ(shown, expected);
}
