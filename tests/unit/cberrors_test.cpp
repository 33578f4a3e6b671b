#include "cberrors.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "mlgexttools.h"
#include "process_state.h"
#include "thrown.h"

namespace {
struct Expected {
    int code;
    bool fixed;
    const char* text;  // code page 1250
};

// Codes of the register's catalogue with their texts in code page 1250: the
// ends of ranges that share one text, fixed texts and looked-up ones.
const Expected kCatalogue[] = {
    {10, false, "b\xB3\xB9" "d nietypowy - rezygnacja, przerwanie funkcji"},
    {50, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {56, false, "B\xB3\xB9" "d wykonywania operacji przez kas\xEA"},
    {156, true, "zerowa ilo\x9C\xE6"},
    {157, true, "ilo\x9C" "c zbyt du\xBF" "a"},
    {300, false, "karta rabatowa niewa\xBFna"},
    {310, true, "B\xB3\xEA" "dny typ autoryzacji dla kart rabatowych"},
    {3006, false, "b\xB3\xB9" "d CRC"},
    {3019, false, "ramka o podanym identyfikatorze nie zbuforowana"},
    {6666, false, "zbyt d\xB3ugi \xB3" "a\xF1" "cuch (sprawd\x9F kod kreskowy)"},
    {6669, true, "B\xB3\xB9" "d pola BCD"},
};
// Codes just outside the ranges above, and the extremes.
const int kOutside[] = {INT32_MIN, -1, 0, 9, 11, 49, 57, 155, 158, 299, 3020, 6665, 6670, INT32_MAX};

const char* const kUnknown = "nieznany b\xB3\xB9" "d przes\xB3" "any przez kas\xEA";

// Answers every key of the driver's section with a marker, so a looked-up text
// can be told from a fixed one.
int MarkerLookup(char* buffer, int size, const char* section, const char* key)
{
    if (std::strcmp(section, "velcombo_cbaction") != 0) return 0;
    snprintf(buffer, static_cast<size_t>(size), "#%s", key);
    return 1;
}

class DriverTextTool {
public:
    DriverTextTool() : FTool(nullptr, MarkerLookup), FSaved(Process().DriverTextTool) { Process().DriverTextTool = &FTool; }
    ~DriverTextTool() { Process().DriverTextTool = FSaved; }

private:
    TMLgExtTools FTool;
    const TMLgExtTools* FSaved;
};

AnsiString Thrown(int code)
{
    return testutil::Thrown([&] { ComboRzucKomunikatemBleduWykonania(code); });
}
}  // namespace

TEST(ComboErrors, CatalogueTextsAndTheDefaultOutsideIt)
{
    for (const Expected& e : kCatalogue) EXPECT_EQ(ComboErrList(e.code), e.text) << "code " << e.code;
    for (int code : kOutside) EXPECT_EQ(ComboErrList(code), kUnknown) << "code " << code;
}

TEST(ComboErrors, OnlyTheFixedSetBypassesTheTextTool)
{
    DriverTextTool tool;
    for (const Expected& e : kCatalogue) {
        const AnsiString text = ComboErrList(e.code);
        EXPECT_EQ(e.fixed ? text : text.substr(0, 1), e.fixed ? e.text : "#") << "code " << e.code;
    }
    // A range shares one key, and the default has its own.
    EXPECT_EQ(ComboErrList(50), ComboErrList(56));
    EXPECT_NE(ComboErrList(10), ComboErrList(50));
    EXPECT_EQ(ComboErrList(11).substr(0, 1), "#");
    EXPECT_NE(ComboErrList(11), ComboErrList(10));
}

TEST(ComboErrors, MessageLinesCarryClassCodeAndText)
{
    EXPECT_EQ(ComboWykErrMsg(975), "[W975] - Nie ma wi\xEA" "cej rekord\xF3w wg kontekstu");
    EXPECT_EQ(ComboTrnErrMsg(3006), "[T3006] - b\xB3\xB9" "d CRC");
    EXPECT_EQ(ComboWykErrMsg(-1), AnsiString("[W-1] - ") + kUnknown);
}

TEST(ComboErrors, QuietExecutionCodesReturnAndOthersThrow)
{
    const int quiet[] = {801, 901, 903, 909, 910, 920, 921, 926, 938, 944,
                         948, 949, 950, 951, 959, 975, 2035, 2106, 6666};
    for (int code : quiet) {
        EXPECT_TRUE(ComboIsQuietExecError(code));
        EXPECT_EQ(Thrown(code), testutil::kNothingThrown) << code;
    }
    int quietCount = 0;
    for (int code = -1; code <= 7000; ++code) quietCount += ComboIsQuietExecError(code);
    EXPECT_EQ(quietCount, 19);
    EXPECT_EQ(Thrown(1), AnsiString("Kasa zg\xB3osi\xB3" "a b\xB3\xB9" "d wykonania: [W1] - ") + kUnknown);
    EXPECT_EQ(Thrown(902), "Kasa zgłosiła błąd wykonania: [W902] - rekord jest predefiniowany");
    EXPECT_EQ(Thrown(0), AnsiString("Kasa zgłosiła błąd wykonania: [W0] - ") + kUnknown);
}

TEST(ComboErrors, TheCommunicationFailureTextGoesThroughTheTextTool)
{
    DriverTextTool tool;
    EXPECT_EQ(ComboCommErrorText().substr(0, 1), "#");
}
