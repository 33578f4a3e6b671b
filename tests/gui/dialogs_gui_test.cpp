// The two windows as a person uses them on Xvfb (`velhost window N`, keys and clicks through XTest, the close
// box as the window manager's message), a screenshot of each in the build folder, the host's window as their
// owner, and no display at all. Each step waits for what the window does on the display, never for a time: an
// input that opens a drop-down list waits for the list, one that closes it for the list to go.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdio>

#include "testutil.h"
// Last: Xlib's macros (None, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace testutil;

namespace {
// A key symbol, a click at a point of the window (key 0), or the close box (key -1); lists tells whether it
// opens a drop-down list (1) or closes the one open (-1).
struct Input {
    int key, x = 0, y = 0, lists = 0;
};
const Input kEnter{XK_Return}, kEsc{XK_Escape}, kF2{XK_F2}, kDown{XK_Down}, kCloseBox{-1};
// Enter in an open list: picks the item and closes the list.
const Input kPick{XK_Return, 0, 0, -1};
Input Click(int x, int y) { return {0, x, y}; }
// A click on a drop-down, which opens its list.
Input DropDown(int x, int y) { return {0, x, y, 1}; }

class Dialogs : public ::testing::Test {
protected:
    Display* x = XOpenDisplay(nullptr);
    TempDir tmp;
    void SetUp() override { ASSERT_TRUE(x) << "run under xvfb-run"; }
    void TearDown() override { x ? XCloseDisplay(x) : 0; }

    // The windows on the display's root, bottom to top.
    std::vector<Window> TopLevels()
    {
        Window root, parent, *kids = nullptr;
        unsigned count = 0;
        std::vector<Window> windows;
        if (XQueryTree(x, DefaultRootWindow(x), &root, &parent, &kids, &count) && kids)
            windows.assign(kids, kids + count);
        if (kids) XFree(kids);
        return windows;
    }
    bool Viewable(Window w)
    {
        XWindowAttributes at;
        return XGetWindowAttributes(x, w, &at) && at.map_state == IsViewable;
    }
    // How many windows on the root are shown: a drop-down's list is one of its own.
    size_t Shown()
    {
        size_t shown = 0;
        for (Window w : TopLevels()) shown += Viewable(w);
        return shown;
    }

    // The window shown last on this display, once mapped, unless it is `other`; 0 when none comes. It gets
    // the keyboard, as a window manager would give it (there is none): keys go to it wherever the pointer is.
    Window Await(Window other = 0)
    {
        Window shown = 0;
        WaitUntil(
            [&] {
                const std::vector<Window> windows = TopLevels();
                if (!windows.empty() && windows.back() != other && Viewable(windows.back())) shown = windows.back();
                return shown != 0;
            },
            kEventWaitMs);
        if (shown) XSetInputFocus(x, shown, RevertToPointerRoot, CurrentTime);
        return shown;
    }

    // Waits until the window is gone from the display (its process ended a moment ago): the next one shown
    // is not taken for it.
    void AwaitGone(Window w)
    {
        EXPECT_TRUE(WaitUntil([&] { return !Contains(TopLevels(), w); }, kEventWaitMs));
    }

    void Send(Window w, const Input& in)
    {
        const size_t shown = Shown();
        if (in.key < 0) {
            XEvent e{};
            e.xclient = {ClientMessage, 0, True, x, w, XInternAtom(x, "WM_PROTOCOLS", False), 32, {}};
            e.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
            XSendEvent(x, w, False, NoEventMask, &e);
        } else if (in.key == 0) {
            int rx, ry;
            Window child;
            XTranslateCoordinates(x, w, DefaultRootWindow(x), in.x, in.y, &rx, &ry, &child);
            XTestFakeMotionEvent(x, -1, rx, ry, 0);
            for (int down : {True, False}) XTestFakeButtonEvent(x, 1, down, 20);
        } else {
            for (int down : {True, False}) XTestFakeKeyEvent(x, XKeysymToKeycode(x, in.key), down, 20);
        }
        XSync(x, False);
        const long expected = static_cast<long>(shown) + in.lists;
        if (in.lists != 0) {
            EXPECT_TRUE(WaitUntil([&] { return static_cast<long>(Shown()) == expected; }, kEventWaitMs)) << "a list";
        }
    }

    void Screenshot(Window w, const std::string& path)
    {
        XWindowAttributes at;
        XGetWindowAttributes(x, w, &at);
        XImage* image = XGetImage(x, w, 0, 0, at.width, at.height, AllPlanes, ZPixmap);
        FILE* f = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, f);
        png_set_IHDR(png, info, at.width, at.height, 8, PNG_COLOR_TYPE_RGB, 0, 0, 0);
        png_write_info(png, info);
        std::vector<png_byte> row(static_cast<size_t>(at.width) * 3);
        for (int py = 0; py < at.height; png_write_row(png, row.data()), ++py)
            for (int px = 0; px < at.width; ++px)
                for (int c = 0; c < 3; ++c) row[px * 3 + c] = (XGetPixel(image, px, py) >> (16 - 8 * c)) & 255;
        png_write_end(png, nullptr), png_destroy_write_struct(&png, &info), std::fclose(f), XDestroyImage(image);
    }

    // velhost, given a minute at most, shows a window and takes what it is sent.
    FILE* StartVelhost(const std::string& arguments)
    {
        return popen(("timeout " + std::to_string(kEventWaitMs / 1000) + " " VELHOST_EXE " " + arguments).c_str(),
                     "r");
    }
    // What velhost printed, once it ended; its exit status must be 0. Read to its end first: closed, the pipe
    // would end velhost by SIGPIPE at its next line.
    std::string Finish(FILE* velhost, Window shown)
    {
        std::string out;
        for (int c; (c = std::fgetc(velhost)) != EOF;) out += static_cast<char>(c);
        EXPECT_EQ(pclose(velhost), 0) << out;
        AwaitGone(shown);
        return out;
    }

    // velhost shows window `window` (FLAG `flag`) with the host's answers in
    // `ini` and takes the inputs; then what it stored through callback 21
    // must be `stored` ("" for nothing).
    void Check(const std::string& ini, int window, int flag, const std::string& stored,
               const std::vector<Input>& inputs, bool screenshot)
    {
        WriteFile(tmp / "host.ini", ini);
        const std::string w = std::to_string(window);
        FILE* velhost = StartVelhost("--config " + tmp / "host.ini" + " window " + w + " " + std::to_string(flag));
        const Window shown = Await();
        ASSERT_NE(shown, 0u);
        if (screenshot) Screenshot(shown, tmp / ("../window" + w + ".png"));
        for (const Input& in : inputs) Send(shown, in);
        const std::string out = Finish(velhost, shown);
        EXPECT_NE(out.find("RESULT " + std::to_string(window == 6 && !stored.empty()) + "\n"), std::string::npos);
        const std::string change = stored.empty() ? "change_param" : "EVENT change_param " + stored + "\n";
        EXPECT_EQ(out.find(change) == std::string::npos, stored.empty()) << out;
    }
};
}  // namespace

TEST_F(Dialogs, VatSlotsAreStoredOnlyByOk)
{
    // Row A shows 8.00 (item 2); Down in its list moves it to 5.00; row B goes from empty to zw.
    const Input ok = Click(200, 168), cancel = Click(200, 208), rowA = DropDown(90, 25), rowB = DropDown(90, 44);
    const std::string host = "[vatprec]\nrates=2300,800,500,0,-1\n[params]\nVel_Combo_PosortowaneStawkiVatPrec=800\n";
    const std::string stored = "Vel_Combo_PosortowaneStawkiVatPrec=";
    // The harness shows the value's line breaks as ^M^J.
    const std::string empty = "^M^J-999^M^J-999^M^J-999^M^J-999^M^J-999^M^J-999^M^J-999^M^J-999";
    const std::pair<std::string, std::vector<Input>> cases[] = {
        {stored + "800^M^J-999" + empty, {kEnter}},
        {stored + "500^M^J-1" + empty, {rowA, kDown, kPick, rowB, kDown, kDown, kDown, kDown, kDown, kPick, ok}},
        {"", {rowA, kDown, kPick, kEsc}},
        {"", {rowA, kDown, kPick, cancel}},
        {"", {rowA, kDown, kPick, kCloseBox}},
    };
    for (const auto& [expected, inputs] : cases) Check(host, 0, 1, expected, inputs, &inputs == &cases[0].second);
    // Read-only: row A opens no list.
    Check(host, 0, 0, "", {Click(90, 25), kDown, kEnter, kEnter, ok, kCloseBox}, false);
}

TEST_F(Dialogs, ImportOptionsAreStoredOnlyByKontynuuj)
{
    const Input overwrite = Click(24, 25), logFile = Click(24, 57), go = Click(97, 111), stop = Click(275, 111);
    const std::string host = "[params]\nComboImportOverWrite=true\nComboImportLogSave=TRUE\n";
    const std::pair<std::string, std::vector<Input>> cases[] = {
        {"ComboImportOverWrite=FALSE\nEVENT change_param ComboImportLogSave=TRUE", {kF2}},
        {"ComboImportOverWrite=TRUE\nEVENT change_param ComboImportLogSave=FALSE", {overwrite, logFile, go}},
        {"", {overwrite, kEsc}},
        {"", {overwrite, stop}},
        {"", {overwrite, kCloseBox}},
    };
    for (const auto& [expected, inputs] : cases) Check(host, 6, 1, expected, inputs, &inputs == &cases[0].second);
}

TEST_F(Dialogs, TheHostsWindowOwnsBothDialogs)
{
    const Window host = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 200, 100, 0, 0, 0);
    XMapWindow(x, host);
    XSync(x, False);
    for (const char* window : {"0", "6"}) {
        for (const Window owner : {host, Window{0}}) {
            FILE* velhost =
                StartVelhost((owner ? "--owner " + std::to_string(owner) + " " : std::string()) + "window " + window);
            const Window shown = Await(host);
            ASSERT_NE(shown, 0u);
            // The owner is named just after the window is shown.
            Window transientFor = 0;
            const bool owned = WaitUntil([&] { return XGetTransientForHint(x, shown, &transientFor) != 0; },
                                         owner ? kEventWaitMs : 0);
            EXPECT_EQ(std::pair(owned, transientFor), std::pair(owner != 0, owner)) << window;
            Send(shown, kEsc);
            Finish(velhost, shown);
        }
    }
    XDestroyWindow(x, host);
}

TEST(NoDisplay, EachWindowIsAnErrorLineAndVelhostLivesOn)
{
    for (const char* window : {"0", "6"}) {
        const RunResult r = testutil::Run({"/usr/bin/env", "-u", "DISPLAY", VELHOST_EXE, "window", window});
        const std::string title = window[0] == '0' ? "Stawki VAT na kasie" : "Import towarów z kasy";
        EXPECT_EQ(r.out.find("ADD E Podczas wykonywania operacji 'wyświetlanie okna' wystąpił błąd:\nADD E "
                             "Nie można wyświetlić okna '" + title + "': brak dostępu do ekranu (DISPLAY: '')\n"
                             "RESULT 0\n"),
                  0u)
            << r.out;
        EXPECT_EQ(r.status, 2);
    }
}
