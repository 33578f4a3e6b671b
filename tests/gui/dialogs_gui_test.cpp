// The two windows as a person uses them: `velhost window N` shows them on
// the X display (Xvfb in the tests), keys and clicks go in through XTest,
// the close box through the window manager's message, and what the host
// stored comes back in velhost's output. A screenshot of each window is left
// in the build folder; with no display the error line comes and velhost lives on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <thread>

#include "testutil.h"
// Last: Xlib's macros (None, Status) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

using namespace testutil;
extern char** environ;

namespace {
struct Input {
    enum Kind { Key, Click, CloseBox } kind;
    int a = 0, b = 0;  // a key symbol, or a point of the window
};
const Input kEnter{Input::Key, XK_Return}, kEsc{Input::Key, XK_Escape}, kF2{Input::Key, XK_F2},
    kDown{Input::Key, XK_Down}, kCloseBox{Input::CloseBox};
Input Click(int x, int y) { return {Input::Click, x, y}; }

class Dialogs : public ::testing::Test {
protected:
    Display* x = XOpenDisplay(nullptr);
    TempDir tmp;
    void SetUp() override { ASSERT_TRUE(x) << "run under xvfb-run"; }
    void TearDown() override
    {
        if (x) XCloseDisplay(x);
    }

    // The top-level window titled `title`, once it is shown; 0 after 10 s.
    Window Await(const std::string& title)
    {
        const Atom name = XInternAtom(x, "_NET_WM_NAME", False), utf8 = XInternAtom(x, "UTF8_STRING", False);
        for (int tries = 0; tries < 200; ++tries, std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
            Window root, parent, *kids = nullptr;
            unsigned count = 0;
            XQueryTree(x, DefaultRootWindow(x), &root, &parent, &kids, &count);
            Window found = 0;
            for (unsigned i = 0; i < count && !found; ++i) {
                Atom type;
                int format;
                unsigned long n, left;
                unsigned char* data = nullptr;
                XWindowAttributes at;
                if (XGetWindowProperty(x, kids[i], name, 0, 256, False, utf8, &type, &format, &n, &left, &data) ==
                        Success && data && title == reinterpret_cast<char*>(data) &&
                    XGetWindowAttributes(x, kids[i], &at) && at.map_state == IsViewable)
                    found = kids[i];
                if (data) XFree(data);
            }
            if (kids) XFree(kids);
            if (found) return std::this_thread::sleep_for(std::chrono::milliseconds(300)), found;
        }
        return 0;
    }

    void Send(Window w, const Input& in)
    {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(x, w, DefaultRootWindow(x), in.a, in.b, &rx, &ry, &child);
        if (in.kind == Input::CloseBox) {
            XEvent e{};
            e.xclient = {ClientMessage, 0, True, x, w, XInternAtom(x, "WM_PROTOCOLS", False), 32, {}};
            e.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
            XSendEvent(x, w, False, NoEventMask, &e);
        } else if (in.kind == Input::Click) {
            XTestFakeMotionEvent(x, -1, rx, ry, 0);
            XTestFakeButtonEvent(x, 1, True, 20);
            XTestFakeButtonEvent(x, 1, False, 20);
        } else {
            XTestFakeKeyEvent(x, XKeysymToKeycode(x, static_cast<KeySym>(in.a)), True, 20);
            XTestFakeKeyEvent(x, XKeysymToKeycode(x, static_cast<KeySym>(in.a)), False, 20);
        }
        XSync(x, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    // The window as a PNG file.
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
            for (int px = 0; px < at.width; ++px) {
                const unsigned long p = XGetPixel(image, px, py);
                row[px * 3] = (p >> 16) & 255, row[px * 3 + 1] = (p >> 8) & 255, row[px * 3 + 2] = p & 255;
            }
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        XDestroyImage(image);
    }

    // velhost shows window `window` with the host's answers in `ini`; the
    // inputs go to the window titled `title`; velhost's output.
    std::string Show(const std::string& ini, int window, int flag, const std::string& title,
                     const std::vector<Input>& inputs, const std::string& screenshot = "")
    {
        WriteFile(tmp / "host.ini", ini);
        const std::string out = tmp / "out.txt", w = std::to_string(window), f = std::to_string(flag);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string ini_ = tmp / "host.ini";
        const char* argv[] = {VELHOST_EXE, "--config", ini_.c_str(), "window", w.c_str(), f.c_str(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, VELHOST_EXE, &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        const Window shown = Await(title);
        EXPECT_NE(shown, 0u) << title;
        if (shown && !screenshot.empty()) Screenshot(shown, screenshot);
        for (const Input& in : inputs)
            if (shown) Send(shown, in);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(pid, &status, WNOHANG) == 0) kill(pid, SIGKILL), waitpid(pid, &status, 0), ADD_FAILURE() << "hung";
        return ReadFile(out);
    }
};

const std::string kVatHost = "[vatprec]\nrates=2300,800,500,0,-1\n[params]\n"
                             "Vel_Combo_PosortowaneStawkiVatPrec=800\n";
const std::string kStoredVat = "EVENT change_param Vel_Combo_PosortowaneStawkiVatPrec=";
const std::string kVatTitle = "Stawki VAT na kasie", kImportTitle = "Import towarów z kasy";
}  // namespace

TEST_F(Dialogs, VatSlotsAreStoredOnlyByOk)
{
    const Input ok = Click(200, 168), cancel = Click(200, 208), rowA = Click(90, 25), rowB = Click(90, 44);
    // Row A shows 8.00 (item 2); Down in its list moves it to 5.00. Row B starts empty.
    const struct {
        std::vector<Input> inputs;
        int flag;
        std::string stored;  // "" for nothing stored
    } cases[] = {
        {{kEnter}, 1, "800\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999"},
        {{rowA, kDown, kEnter, rowB, kDown, kDown, kDown, kDown, kDown, kEnter, ok},
         1, "500\r\n-1\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999\r\n-999"},
        {{rowA, kDown, kEnter, kEsc}, 1, ""},
        {{rowA, kDown, kEnter, cancel}, 1, ""},
        {{rowA, kDown, kEnter, kCloseBox}, 1, ""},
        {{rowA, kEnter, ok, kCloseBox}, 0, ""},  // read-only: OK and the lists do nothing
    };
    for (const auto& c : cases) {
        const std::string out =
            Show(kVatHost, 0, c.flag, kVatTitle, c.inputs, &c == cases ? tmp / "../window0.png" : "");
        EXPECT_NE(out.find("RESULT 0\n"), std::string::npos) << out;
        if (c.stored.empty())
            EXPECT_EQ(out.find("change_param"), std::string::npos) << out;
        else
            EXPECT_NE(out.find(kStoredVat + c.stored + "\n"), std::string::npos) << out;
    }
}

TEST_F(Dialogs, ImportOptionsAreStoredOnlyByKontynuuj)
{
    const Input overwrite = Click(24, 25), logFile = Click(24, 57), go = Click(97, 111), stop = Click(275, 111);
    const std::string host = "[params]\nComboImportOverWrite=true\nComboImportLogSave=TRUE\n";
    const struct {
        std::vector<Input> inputs;
        std::string stored;
    } cases[] = {
        {{kF2}, "ComboImportOverWrite=FALSE\nEVENT change_param ComboImportLogSave=TRUE\n"},
        {{overwrite, logFile, go}, "ComboImportOverWrite=TRUE\nEVENT change_param ComboImportLogSave=FALSE\n"},
        {{overwrite, kEsc}, ""},
        {{overwrite, stop}, ""},
        {{overwrite, kCloseBox}, ""},
    };
    for (const auto& c : cases) {
        const std::string out = Show(host, 6, 1, kImportTitle, c.inputs, &c == cases ? tmp / "../window6.png" : "");
        EXPECT_NE(out.find(std::string("RESULT ") + (c.stored.empty() ? "0" : "1") + "\nCODE 6\n"), std::string::npos);
        if (c.stored.empty())
            EXPECT_EQ(out.find("change_param"), std::string::npos) << out;
        else
            EXPECT_NE(out.find("EVENT change_param " + c.stored), std::string::npos) << out;
    }
}

TEST(NoDisplay, EachWindowIsAnErrorLineAndVelhostLivesOn)
{
    for (const char* window : {"0", "6"}) {
        const RunResult r = testutil::Run({"/usr/bin/env", "-u", "DISPLAY", VELHOST_EXE, "window", window});
        const std::string title = window[0] == '0' ? "Stawki VAT na kasie" : "Import towarów z kasy";
        EXPECT_EQ(r.out.find("ADD E Podczas wykonywania operacji 'wyświetlanie okna' wystąpił błąd:\nADD E "
                             "Nie można wyświetlić okna '" + title + "': brak dostępu do ekranu (DISPLAY: '')\n"
                             "RESULT 0\n"),
                  0u) << r.out;
        EXPECT_EQ(r.status, 2);
    }
}
