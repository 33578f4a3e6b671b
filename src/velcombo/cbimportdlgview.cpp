// The goods-import options drawn by the toolkit: the two check boxes above
// a bar of Kontynuuj (F2) and Rezygnuj (Esc). The boxes go back into the
// model once the window is closed.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Window.H>

#include <memory>

#include "FltkDialog.h"
#include "cbimportdlg.h"

namespace {
using veldialog::Utf8Label;

Fl_Button* BarButton(int x, const AnsiString& caption, const AnsiString& shortCut, int key)
{
    auto* button = new Fl_Button(x, 96, 170, 30);
    button->copy_label(Utf8Label(caption + "  [" + shortCut + "]").c_str());
    button->shortcut(key);
    return button;
}
}  // namespace

int Tfrm_import::ShowModal()
{
    veldialog::OpenDisplay(Caption, FLgTools);
    int result = mrCancel;
    auto window = std::make_unique<Fl_Window>(372, 136);
    window->copy_label(veldialog::Utf8(Caption).c_str());
    window->position((Fl::w() - window->w()) / 2, (Fl::h() - window->h()) / 2);
    // The close box and Esc cancel.
    window->callback(veldialog::CloseWith<mrCancel>, &result);

    auto* overwrite = new Fl_Check_Button(12, 12, 348, 26);
    overwrite->copy_label(Utf8Label(OverwriteCaption).c_str());
    overwrite->value(OverwriteChecked);
    auto* logFile = new Fl_Check_Button(12, 44, 348, 26);
    logFile->copy_label(Utf8Label(LogFileCaption).c_str());
    logFile->value(LogFileChecked);

    BarButton(12, KontynuujCaption, KontynuujShortCut, FL_F + 2)
        ->callback(veldialog::CloseWith<mrOk>, &result);
    BarButton(190, RezygnujCaption, RezygnujShortCut, FL_Escape)
        ->callback(veldialog::CloseWith<mrCancel>, &result);
    window->end();

    veldialog::RunModal(*window);
    OverwriteChecked = overwrite->value() != 0;
    LogFileChecked = logFile->value() != 0;
    return result;
}
