// modemsim: a Hayes modem on a pseudo-terminal. The driver opens the printed
// terminal path as its serial port and talks AT commands; after a CONNECT the
// bytes pass to and from a register peer on TCP, until "+++" with its guard
// time brings the modem back to command mode, or the peer goes away.
//
// A pseudo-terminal has no modem-control lines: the driver cannot see DCD
// (it takes such a port to carry the carrier) and the modem cannot see DTR.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include "hayes.h"
#include "sim_common.h"

namespace {

const char* kHelp =
    "Usage: modemsim [options]\n"
    "A Hayes modem simulator on a pseudo-terminal. Prints \"PTY <path>\" once ready.\n"
    "\n"
    "  --outcome NUMBER=RESULT  what dialling NUMBER gives: CONNECT, BUSY, NO CARRIER,\n"
    "                           NO DIALTONE, NO ANSWER or SILENT (repeatable)\n"
    "  --config FILE            outcomes from FILE, one NUMBER=RESULT a line, '#' comments\n"
    "  --default-outcome RESULT for numbers not listed (default CONNECT)\n"
    "  --answer COMMAND=RESULT  answer the command line COMMAND (e.g. AT&H1) with RESULT\n"
    "                           (any result name, OK and ERROR included) without carrying\n"
    "                           it out (repeatable)\n"
    "  --register HOST:PORT     the register peer a CONNECT joins; without it data is dropped\n"
    "  --connect-speed N        the speed shown after CONNECT (default 19200)\n"
    "  --guard-ms N             escape guard time (default 1000)\n"
    "  --record FILE            append every command line received, and \"+++\" for each\n"
    "                           escape, to FILE, flushed at once\n"
    "  --help                   this text\n"
    "\n"
    "Echo (ATE), verbal or numeric results (ATV), ATQ, ATX (X0: basic codes only), AT&F,\n"
    "ATZ, ATH, ATO, S-registers and the other &-commands are understood; numbers are\n"
    "compared with spaces and '-' removed. A command line begins at its \"AT\": what\n"
    "precedes it (\"+++\" sent in command mode) is ignored. A CONNECT whose register\n"
    "peer cannot be reached gives NO CARRIER.\n";

struct Options {
    std::map<std::string, std::string> outcomes;
    std::string defaultOutcome = "CONNECT";
    std::map<std::string, std::string> answers;
    std::string registerHost;
    std::string registerPort;
    int connectSpeed = 19200;
    int guardMs = 1000;
    std::string record;
};

uint64_t NowMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string Normalized(const std::string& number)
{
    std::string n;
    for (char c : number)
        if (c != ' ' && c != '-') n += c;
    return n;
}

std::string UpperOf(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool SplitPair(const std::string& text, char sep, std::string& key, std::string& value)
{
    const size_t at = text.rfind(sep);
    if (at == std::string::npos || at == 0) return false;
    key = text.substr(0, at);
    value = text.substr(at + 1);
    return true;
}

bool AddOutcome(Options& o, const std::string& pair)
{
    std::string number, result;
    if (!SplitPair(pair, '=', number, result) || !HayesModem::IsResultName(result)) return false;
    o.outcomes[Normalized(number)] = result;
    return true;
}

bool ParseArgs(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) return false;
        const std::string v = argv[++i];
        std::string key, value;
        if (a == "--outcome") {
            if (!AddOutcome(o, v)) return false;
        } else if (a == "--config") {
            std::ifstream in(v);
            if (!in) return false;
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.empty() || line[0] == '#') continue;
                if (!AddOutcome(o, line)) return false;
            }
        } else if (a == "--default-outcome") {
            if (!HayesModem::IsResultName(v)) return false;
            o.defaultOutcome = v;
        } else if (a == "--answer") {
            if (!SplitPair(v, '=', key, value) || !HayesModem::IsResultName(value)) return false;
            o.answers[UpperOf(key)] = value;
        } else if (a == "--register") {
            if (!SplitPair(v, ':', o.registerHost, o.registerPort)) return false;
        } else if (a == "--connect-speed") {
            if (!simcommon::ParseCount(v, o.connectSpeed)) return false;
        } else if (a == "--guard-ms") {
            if (!simcommon::ParseCount(v, o.guardMs)) return false;
        } else if (a == "--record") {
            o.record = v;
        } else {
            return false;
        }
    }
    return true;
}

void WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
        } else if (!(n < 0 && errno == EINTR)) {
            return;
        }
    }
}

int ConnectTo(const std::string& host, const std::string& port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &list) != 0) return -1;
    int fd = -1;
    for (addrinfo* ai = list; ai && fd < 0; ai = ai->ai_next) {
        fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd >= 0 && connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(list);
    return fd;
}

class Simulator {
public:
    explicit Simulator(const Options& o) : O(o)
    {
        modem.Answers = o.answers;
        modem.ConnectSpeed = o.connectSpeed;
        modem.Record = [this](const std::string& line) { Record(line); };
        modem.Dial = [this](const std::string& number) { return Dial(number); };
        modem.HangUp = [this] { DropPeer(); };
    }

    bool Open()
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
        const char* name = ptsname(master);
        if (!name) return false;
        path = name;
        // Held open so that the driver may close and reopen its port without
        // the terminal hanging up, and made raw before the driver comes.
        slave = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (slave < 0 || tcgetattr(slave, &t) != 0) return false;
        cfmakeraw(&t);
        return tcsetattr(slave, TCSANOW, &t) == 0;
    }

    const std::string& Path() const { return path; }

    void Run()
    {
        for (;;) {
            pollfd fds[2] = {{master, POLLIN, 0}, {peer, POLLIN, 0}};
            const int count = peer >= 0 ? 2 : 1;
            if (poll(fds, count, EscapeTimer()) < 0 && errno != EINTR) return;
            EscapeDue();
            if (fds[0].revents & POLLIN) FromComputer();
            if (count == 2 && fds[1].revents) FromPeer();
        }
    }

private:
    const Options& O;
    HayesModem modem;
    int master = -1, slave = -1, peer = -1;
    std::string path;
    bool dataMode = false;
    // The escape in progress: '+' bytes held back, and when the last byte
    // from the computer came.
    int pluses = 0;
    uint64_t lastInput = 0;

    void Record(const std::string& line) { simcommon::AppendRecord(O.record, line); }

    std::string Dial(const std::string& number)
    {
        const auto found = O.outcomes.find(number);
        const std::string outcome = found != O.outcomes.end() ? found->second : O.defaultOutcome;
        if (outcome != "CONNECT" || O.registerHost.empty()) return outcome;
        peer = ConnectTo(O.registerHost, O.registerPort);
        return peer >= 0 ? outcome : "NO CARRIER";
    }

    void DropPeer()
    {
        if (peer >= 0) close(peer);
        peer = -1;
    }

    void StartData()
    {
        dataMode = true;
        pluses = 0;
        lastInput = NowMs();
    }

    int EscapeTimer() const
    {
        if (!dataMode || pluses == 0) return -1;
        const uint64_t due = lastInput + static_cast<uint64_t>(O.guardMs);
        const uint64_t now = NowMs();
        return due <= now ? 0 : static_cast<int>(due - now);
    }

    // A guard time after the last '+': three make an escape, fewer were data.
    void EscapeDue()
    {
        if (!dataMode || pluses == 0 || NowMs() - lastInput < static_cast<uint64_t>(O.guardMs)) return;
        if (pluses == 3) {
            dataMode = false;
            pluses = 0;
            Record("+++");
            WriteAll(master, modem.Result("OK"));
        } else {
            ToPeer(std::string(static_cast<size_t>(pluses), '+'));
            pluses = 0;
        }
    }

    void ToPeer(const std::string& bytes)
    {
        if (peer >= 0 && !bytes.empty()) send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    void FromComputer()
    {
        char buffer[4096];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0) return;
        size_t at = 0;
        while (at < static_cast<size_t>(n)) {
            if (!dataMode) {
                size_t consumed = 0;
                WriteAll(master, modem.Input(buffer + at, static_cast<size_t>(n) - at, consumed));
                at += consumed;
                if (modem.TakeDataMode()) StartData();
                continue;
            }
            // The gap is measured when the bytes are read: a late reader only
            // sees it longer, so an escape is never missed for being slow.
            EscapeDue();
            if (!dataMode) continue;
            std::string data;
            const uint64_t now = NowMs();
            for (; at < static_cast<size_t>(n); ++at) {
                const char c = buffer[at];
                const bool quietBefore = now - lastInput >= static_cast<uint64_t>(O.guardMs);
                if (c == '+' && pluses < 3 && (pluses > 0 || quietBefore)) {
                    ++pluses;
                } else {
                    data.append(static_cast<size_t>(pluses), '+');
                    pluses = 0;
                    data += c;
                }
                lastInput = now;
            }
            ToPeer(data);
        }
    }

    void FromPeer()
    {
        char buffer[4096];
        const ssize_t n = recv(peer, buffer, sizeof buffer, 0);
        if (n > 0) {
            if (dataMode) WriteAll(master, std::string(buffer, static_cast<size_t>(n)));
            return;
        }
        DropPeer();
        modem.LineLost();
        if (dataMode) {
            dataMode = false;
            pluses = 0;
            WriteAll(master, modem.Result("NO CARRIER"));
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!simcommon::OptionsTaken(ParseArgs(argc, argv, o), kHelp)) return 2;
    Simulator sim(o);
    if (!sim.Open()) {
        std::perror("modemsim: pseudo-terminal");
        return 1;
    }
    std::printf("PTY %s\n", sim.Path().c_str());
    std::fflush(stdout);
    sim.Run();
    return 1;
}
