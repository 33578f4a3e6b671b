// The framework's string type, exceptions and the few text and number
// functions the driver relies on. Nothing here depends on the process locale.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

// 8-bit text in code page 1250, as it crosses the exports and the files.
using AnsiString = std::string;

// The framework's exception: a message text.
class Exception : public std::exception {
public:
    explicit Exception(AnsiString message) : FMessage(std::move(message)) {}
    ~Exception() override = default;
    const AnsiString& Message() const { return FMessage; }
    void SetMessage(const AnsiString& message) { FMessage = message; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    AnsiString FMessage;
};

// The framework's silent abort: a stop requested by the user.
class EAbort : public Exception {
public:
    explicit EAbort(AnsiString message = "Operation aborted") : Exception(std::move(message)) {}
};

// Removes leading and trailing bytes <= 0x20 (compared unsigned, so Polish
// letters at either end survive).
AnsiString Trim(const AnsiString& s);
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);
// Narrows s[from, end) the same way, in place of a trimmed copy.
void TrimRange(std::string_view s, size_t& from, size_t& end);

// ASCII-only case mapping; bytes above 0x7F pass unchanged.
AnsiString UpperCase(const AnsiString& s);
AnsiString LowerCase(const AnsiString& s);
inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

AnsiString IntToStr(int64_t value);

// The framework's failed conversion of a text to a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Whole decimal number with an optional sign and nothing else; anything else,
// or a value outside 32 bits, gives the default.
int32_t StrToIntDef(std::string_view s, int32_t fallback);
// The same; false when the text is not such a number.
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);
// The same; throws EConvertError naming the text when it is not such a number.
int32_t StrToInt(std::string_view s);

// printf-style formatting under the C locale, whatever the host's locale is.
AnsiString Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
AnsiString FormatV(const char* format, va_list args);
