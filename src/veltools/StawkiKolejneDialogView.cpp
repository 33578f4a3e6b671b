// The VAT-rate slot dialog drawn by the toolkit: ten rows of a label and a
// drop-down in a frame, the special row in the place of row 10, OK (Enter)
// and Anuluj (Esc) beside them. The user's choices go back into the model
// once the window is closed.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>

#include <memory>

#include "FltkDialog.h"
#include "StawkiKolejneDialog.h"

namespace {
using veldialog::Utf8Item;
using veldialog::Utf8Label;

// The rows' places in the form; the frame is at (8, 0).
constexpr int kFrameX = 8;
constexpr int kLabelTops[] = {20, 40, 60, 80, 100, 119, 139, 159, 179, 199};
constexpr int kChoiceTops[] = {16, 35, 55, 75, 95, 115, 135, 155, 175, 195};
constexpr int kFontSize = 13;
}  // namespace

int TFrmStawkiNaKasie::ShowModal()
{
    veldialog::OpenDisplay(Caption, FLgTools);
    int result = mrCancel;
    auto window = std::make_unique<Fl_Window>(248, 229);
    window->copy_label(veldialog::Utf8(Caption).c_str());
    window->position((Fl::w() - window->w()) / 2, (Fl::h() - window->h()) / 2);
    // The close box and Esc cancel.
    window->callback(veldialog::CloseWith<mrCancel>, &result);

    new Fl_Box(FL_ENGRAVED_FRAME, kFrameX, 0, 145, 225, nullptr);
    Fl_Choice* choices[IloscWierszy];
    for (int i = 0; i < IloscWierszy; ++i) {
        const Wiersz& row = Wiersze[i];
        auto* label = new Fl_Box(kFrameX + 7, kLabelTops[i], 22, 16);
        label->copy_label(Utf8Label(row.Etykieta).c_str());
        label->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
        label->labelsize(kFontSize);
        auto* choice = choices[i] = new Fl_Choice(kFrameX + 32, kChoiceTops[i], 105, 19);
        choice->textsize(kFontSize);
        for (const AnsiString& item : Pozycje) choice->add(Utf8Item(item).c_str());
        choice->value(row.Wybrany);
        if (!row.Dostepny) choice->deactivate();
        if (!row.Widoczny) {
            label->hide();
            choice->hide();
        }
    }
    if (FSpecjalnaWidoczna) {
        auto* label = new Fl_Box(kFrameX + 12, 200, 22, 16);
        label->copy_label(Utf8Label(EtykietaSpecjalna).c_str());
        label->labelsize(kFontSize);
        auto* special = new Fl_Input_Choice(kFrameX + 32, 195, 105, 19);
        special->value(veldialog::Utf8(TekstSpecjalny).c_str());
        special->deactivate();
    }

    auto* ok = new Fl_Return_Button(160, 152, 81, 33);
    ok->copy_label(Utf8Label(OkCaption).c_str());
    ok->callback(veldialog::CloseWith<mrOk>, &result);
    if (!OkDostepny) ok->deactivate();
    auto* cancel = new Fl_Button(160, 192, 81, 33);
    cancel->copy_label(Utf8Label(CancelCaption).c_str());
    cancel->shortcut(FL_Escape);
    cancel->callback(veldialog::CloseWith<mrCancel>, &result);
    window->end();

    veldialog::RunModal(*window);
    for (int i = 0; i < IloscWierszy; ++i) Wiersze[i].Wybrany = choices[i]->value();
    return result;
}
