// What the driver's windows need from the toolkit: a display that is really
// there (or a clear error instead of the toolkit ending the host's process),
// labels in UTF-8, and the modal loop. The windows' models know nothing of
// the toolkit; only their views include this.
#pragma once

#include <string>

#include "mlgexttools.h"
#include "sysutils.h"

class Fl_Widget;
class Fl_Window;

namespace veldialog {

// A code page 1250 text in UTF-8; the five bytes the code page leaves
// undefined become '?'.
std::string Utf8(const AnsiString& cp1250);
// The same for a widget's label: '&' and '@' are shown as themselves, not
// taken for a short cut or a symbol.
std::string Utf8Label(const AnsiString& cp1250);
// The same for a drop-down item: "/", "_" and the backslash are plain characters too.
std::string Utf8Item(const AnsiString& cp1250);

// Connects the toolkit to the display of this process. Without one it
// throws an Exception naming the window, instead of letting the toolkit end
// the host's process; the toolkit's fatal errors are thrown from then on too.
void OpenDisplay(const AnsiString& caption, const TMLgExtTools* lg);

// Shows the window modally and returns once it is hidden again. The host's
// window handed over at registration owns it: the window manager keeps it
// above that window.
void RunModal(Fl_Window& window);

// Hides the widget's window (or the widget, a window itself) with a modal
// result; as a callback: widget->callback(CloseWith<1>, &result).
void CloseWindow(Fl_Widget* widget, int* result, int value);
template <int Result>
void CloseWith(Fl_Widget* widget, void* result)
{
    CloseWindow(widget, static_cast<int*>(result), Result);
}

}  // namespace veldialog
