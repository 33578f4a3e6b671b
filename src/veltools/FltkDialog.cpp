#include "FltkDialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdarg>
#include <cstdlib>

#include "process_state.h"

namespace veldialog {

namespace {
// Code page 1250 from 0x80 on, as Unicode; 0 where the code page has no character.
constexpr char16_t kUpperHalf[128] = {
    0x20AC, 0,      0x201A, 0,      0x201E, 0x2026, 0x2020, 0x2021, 0,      0x2030, 0x0160, 0x2039, 0x015A, 0x0164,
    0x017D, 0x0179, 0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0,      0x2122, 0x0161, 0x203A,
    0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9,
    0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
    0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139,
    0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1,
    0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F,
    0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD,
    0x0163, 0x02D9};

std::string Escaped(const AnsiString& cp1250, const char* special)
{
    const std::string utf8 = Utf8(cp1250);
    std::string out;
    for (char c : utf8) {
        for (const char* s = special; *s; ++s)
            if (c == *s) out += c == '&' || c == '@' ? c : '\\';
        out += c;
    }
    return out;
}

// The toolkit's fatal errors end the dialog, never the host's process.
[[noreturn]] void FatalError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const AnsiString detail = FormatV(format, args);
    va_end(args);
    throw Exception("Błąd obsługi okna: " + detail);
}
}  // namespace

std::string Utf8(const AnsiString& cp1250)
{
    std::string out;
    for (char c : cp1250) {
        const unsigned char b = static_cast<unsigned char>(c);
        const char16_t u = b < 0x80 ? b : kUpperHalf[b - 0x80];
        if (b >= 0x80 && u == 0) {
            out += '?';
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

std::string Utf8Label(const AnsiString& cp1250) { return Escaped(cp1250, "&@"); }
std::string Utf8Item(const AnsiString& cp1250) { return Escaped(cp1250, "&@/_\\"); }

void OpenDisplay(const AnsiString& caption, const TMLgExtTools* lg)
{
    Fl::fatal = FatalError;
    if (fl_display) return;
    // The toolkit's own opening ends the process when there is no display.
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        throw Exception(LgText(lg, "veltools_VelLib", "Nie można wyświetlić okna '") + caption +
                        LgText(lg, "veltools_VelLib", "': brak dostępu do ekranu (DISPLAY: '") +
                        (name ? name : "") + "')");
    }
    fl_open_display(display);
}

void RunModal(Fl_Window& window)
{
    window.set_modal();
    window.show();
    // As soon as the window exists, before any of its events is handled: a
    // window manager keeps it above its owner and never behind the host.
    if (const uintptr_t owner = Process().OwnerWindow)
        XSetTransientForHint(fl_display, fl_xid(&window), static_cast<Window>(owner));
    while (window.shown()) Fl::wait();
}

void CloseWindow(Fl_Widget* widget, int* result, int value)
{
    *result = value;
    Fl_Window* window = widget->as_window() ? widget->as_window() : widget->window();
    window->hide();
}

}  // namespace veldialog
