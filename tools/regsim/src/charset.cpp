#include "charset.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace regsim {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; calls `onBad` at an unconvertible input
    // byte, which it then skips. Returns false when `onBad` asked to stop.
    template <class OnBad>
    bool Run(std::string_view in, std::string& out, OnBad onBad)
    {
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buf[256];
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<size_t>(dst - buf));
            if (rc != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            if (!onBad(out)) return false;
            ++src;
            --srcLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> Utf8ToCp1250(std::string_view utf8)
{
    Converter conv("CP1250", "UTF-8");
    std::string out;
    if (!conv.Run(utf8, out, [](std::string&) { return false; })) return std::nullopt;
    return out;
}

std::string Cp1250ToUtf8(std::string_view cp1250)
{
    Converter conv("UTF-8", "CP1250");
    std::string out;
    conv.Run(cp1250, out, [](std::string& o) {
        o += "\xEF\xBF\xBD";
        return true;
    });
    return out;
}

}  // namespace regsim
