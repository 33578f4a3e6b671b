#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <tuple>

#include "dttools.h"

namespace {
const TDateTime Sample = EncodeDateTime(2024, 3, 5, 7, 8, 9, 123);
}

TEST(DateTime, DayNumbersAreTheFrameworksOwn)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 12, 0, 0, 0), 36526.5);
    // Before day 0 the fraction still counts forward from midnight.
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
    int y, m, d, h, n, s, ms;
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ(Format("%04d-%02d-%02d %02d:%02d", y, m, d, h, n), "1899-12-29 06:00");
}

TEST(DateTime, RefusesDaysAndTimesThatDoNotExistAndRoundsToTheMillisecond)
{
    for (const auto& [y, m, d] : {std::tuple{2023, 2, 29}, {2024, 13, 1}, {0, 1, 1}, {1900, 2, 29}})
        EXPECT_THROW(EncodeDate(y, m, d), Exception) << y << "-" << m << "-" << d;
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), Exception);
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), Exception);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    const TDateTime almost = EncodeDate(2024, 12, 31) + (86400000.0 - 0.2) / 86400000.0;
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", almost), "2025-01-01 00:00:00.000");
}

TEST(DateTime, FormatPatterns)
{
    EXPECT_EQ(FormatDateTime("yyyy.mm.dd hh.nn.ss", Sample), "2024.03.05 07.08.09");
    EXPECT_EQ(FormatDateTime("h", Sample), "7");
    EXPECT_EQ(FormatDateTime("d/m/yy z", Sample), "5/3/24 123");
    EXPECT_EQ(FormatDateTime("YYYY-MM-DD", Sample), "2024-03-05");
    EXPECT_EQ(DateTimeToStr(Sample), "2024-03-05 07:08:09");
}

TEST(DateTime, NumbersComeOutAsPrintfWritesThem)
{
    // Days from before year 1 (a negative year) to the last one, at times
    // spread over the day.
    for (int i = 0; i <= 400; ++i) {
        const TDateTime v = -700000.0 + i * 7300.0 + (i * 7919 % 86400000) / 86400000.0;
        int y, m, d, h, n, s, ms;
        DecodeDate(v, y, m, d);
        DecodeTime(v, h, n, s, ms);
        ASSERT_EQ(FormatDateTime("yyyymmddhhnnsszzz|yy m d h n s z", v),
                  Format("%04d%02d%02d%02d%02d%02d%03d|%02d %d %d %d %d %d %d", y, m, d, h, n, s, ms, y % 100, m, d, h,
                         n, s, ms))
            << v;
    }
}

TEST(DateTool, TheFiveFormatsAndTheDateAlone)
{
    const TdtTools t(Sample);
    EXPECT_EQ(t.ToString(fmtDate), "2024-03-05");
    EXPECT_EQ(t.ToString(fmt4YDate), "2024-03-05");
    EXPECT_EQ(t.ToString(fmtTimeHMSms), "07:08:09.123");
    EXPECT_EQ(t.ToString(fmt4YDateTime), "2024-03-05 07:08:09");
    EXPECT_EQ(t.ToString(fmtDateTimeCompressed), "20240305070809123");
    EXPECT_THROW(t.ToString(static_cast<TdtFormat>(3)), Exception);
    EXPECT_EQ(t.Date(), EncodeDate(2024, 3, 5));
    EXPECT_EQ(TdtTools(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0)).Date(), -1.0);
}

TEST(DateTool, CompressedFormReadsBackWhatItWrote)
{
    // A spread of days over four centuries and of times over the day.
    for (int i = 0; i < 2000; ++i) {
        const TDateTime v = EncodeDate(1901, 1, 1) + i * 73.0 + (i * 7919 % 86400000) / 86400000.0;
        const AnsiString text = TdtTools(v).ToString(fmtDateTimeCompressed);
        ASSERT_EQ(text.size(), 17u);
        TdtTools back(0.0);
        back.FromString(text, fmtDateTimeCompressed);
        ASSERT_EQ(back.ToString(fmtDateTimeCompressed), text);
        ASSERT_NEAR(back.Value(), v, 1e-8);
    }
    TdtTools t(0.0);
    t.FromString(" 20311231235959999 ", fmtDateTimeCompressed);
    EXPECT_EQ(t.ToString(fmt4YDateTime), "2031-12-31 23:59:59");
    // The intermediate sales file's form: seconds and milliseconds zero.
    t.FromString("20240305071500000", fmtDateTimeCompressed);
    EXPECT_EQ(t.ToString(fmtTimeHMSms), "07:15:00.000");
}

TEST(DateTool, RefusesOtherTextAndKeepsItsValue)
{
    TdtTools t(Sample);
    for (const char* bad : {"2024030507080912", "202403050708091234", "2024030507080912x", "20230229000000000",
                            "20241301000000000", "20240305240000000", "", "-2024030507080912"}) {
        EXPECT_THROW(t.FromString(bad, fmtDateTimeCompressed), Exception) << bad;
        EXPECT_FALSE(t.TryFromString(bad, fmtDateTimeCompressed)) << bad;
        EXPECT_EQ(t.Value(), Sample);
    }
    EXPECT_THROW(t.FromString("2024-03-05 07:08:09", fmt4YDateTime), Exception);
    try {
        t.FromString("abc", fmtDateTimeCompressed);
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("abc"), AnsiString::npos);
    }
}

TEST(DateTool, PolishDaysOfTheWeek)
{
    // Monday is 1; before day 0 the week still counts on.
    const std::tuple<TDateTime, int, const char*> days[] = {
        {EncodeDate(2024, 3, 4), 1, "poniedzia\xB3" "ek"}, {EncodeDate(2024, 3, 6), 3, "\x9Croda"},
        {EncodeDate(2024, 3, 8), 5, "pi\xB9tek"},          {EncodeDateTime(2024, 3, 10, 23, 59, 0, 0), 7, "niedziela"},
        {0.0, 6, "sobota"},                                 {EncodeDate(1899, 12, 25), 1, "poniedzia\xB3" "ek"}};
    for (const auto& [day, number, name] : days)
        EXPECT_EQ(std::tuple(TdtTools(day).DayOfWeekPl(), TdtTools(day).DayOfWeekNamePl()), std::tuple(number, name));
}

TEST(DateTool, NowIsTheLocalClock)
{
    const time_t before = time(nullptr);
    const TdtTools now;
    // time() reads a coarse clock that may still show the last second.
    const time_t after = time(nullptr) + 1;
    tm lb{}, la{};
    localtime_r(&before, &lb);
    localtime_r(&after, &la);
    const TDateTime b = EncodeDateTime(lb.tm_year + 1900, lb.tm_mon + 1, lb.tm_mday, lb.tm_hour, lb.tm_min, lb.tm_sec, 0);
    const TDateTime a = EncodeDateTime(la.tm_year + 1900, la.tm_mon + 1, la.tm_mday, la.tm_hour, la.tm_min, la.tm_sec, 0);
    EXPECT_GE(now.Value(), b);
    EXPECT_LE(now.Value(), a);
    EXPECT_EQ(Date(), std::trunc(Now()));
}
