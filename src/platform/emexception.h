// The component package's exception: a list of topics, each with a code, a
// title and a description, and the package-wide language setting.
#pragma once

#include <vector>

#include "sysutils.h"

struct EMTopic {
    AnsiString Code;
    AnsiString Title;
    AnsiString Description;
};

class EMException : public Exception {
public:
    EMException(const AnsiString& code, const AnsiString& title, const AnsiString& description);
    void AddTopic(const AnsiString& code, const AnsiString& title, const AnsiString& description);

    // The first topic's parts.
    const AnsiString& GetCode() const { return FTopics.front().Code; }
    const AnsiString& GetTitle() const { return FTopics.front().Title; }
    const AnsiString& GetDescription() const { return FTopics.front().Description; }
    int GetTopicCount() const { return static_cast<int>(FTopics.size()); }
    const EMTopic& GetTopics(int i) const { return FTopics.at(static_cast<size_t>(i)); }

    // The language of the package's own texts, as the host last set it.
    static int Language();
    static void SetLanguage(int language);

private:
    std::vector<EMTopic> FTopics;
};
