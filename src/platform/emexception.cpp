#include "emexception.h"

#include "process_state.h"

EMException::EMException(const AnsiString& code, const AnsiString& title, const AnsiString& description)
    : Exception(title + "\r\n" + description)
{
    FTopics.push_back({code, title, description});
}

void EMException::AddTopic(const AnsiString& code, const AnsiString& title, const AnsiString& description)
{
    FTopics.push_back({code, title, description});
    SetMessage(Message() + "\r\n" + title + "\r\n" + description);
}

int EMException::Language() { return Process().ComponentLanguage; }
void EMException::SetLanguage(int language) { Process().ComponentLanguage = language; }
