// Reading and archiving the intermediate sales file, a busy day of 700 000
// lines, through the file class and the archive function, in rounds beside
// plain baselines on the same file (paired.h).
//
// ReadLines: the file read line by line, beside `wc -l` (started directly).
// Every line must be read. Target: at most 10 times wc.
// Archive: the file appended to its archive after a dated header line, as
// the import archives it, beside a plain copy appending the same bytes a
// read() and a write() of 1 MiB at a time. The archive must end with the
// file's bytes. Target: at most 2 times the plain copy.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "LTools.h"
#include "mfile.h"
#include "paired.h"
#include "testutil.h"

namespace {

using paired::Goal;

// `from` appended to `to` as cat does it.
void AppendCopy(const std::string& from, const std::string& to)
{
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    std::vector<char> block(1 << 20);
    ssize_t n = in < 0 || out < 0 ? -1 : 0;
    while (n >= 0 && (n = read(in, block.data(), block.size())) > 0)
        if (write(out, block.data(), static_cast<size_t>(n)) != n) n = -1;
    if (in >= 0) close(in);
    if ((out >= 0 && close(out) != 0) || n < 0) throw std::runtime_error("cannot append " + from + " to " + to);
}

struct SalesFile {
    testutil::TempDir dir;
    std::string path = dir / "combo.imp";
    int lines;
    explicit SalesFile(int count) : lines(count)
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < lines; ++i) out << "P_PLU;1;" << i << ";5901234123457;Ser zolty;1000;599;0\r\n";
    }
};

void ReadLines(benchmark::State& state)
{
    const SalesFile file(paired::Sized(700000, 10000));
    auto read = [&] {
        int64_t n = 0;
        const paired::Spent spent = paired::Own([&] {
            TMFile f;
            f.SetPath(file.path);
            f.SetReadOnly(true);
            f.Open();
            AnsiString line;
            while (f.ReadLine(line, "\r\n")) ++n;
        });
        if (n != file.lines) paired::Fail(state, "the file class did not read every line");
        return spent;
    };
    paired::Sides sides({"read", "wc"});
    if (!sides.Measure(state, {read, [&] { return paired::CountLines(file.path); }})) return;
    paired::Sides::Report(state, "ratio", sides.Over(0, 1));
    paired::Judge("ReadLines: the file class's time over wc -l's", sides.Over(0, 1), Goal::AtMost, 10);
}

void Archive(benchmark::State& state)
{
    const SalesFile file(paired::Sized(700000, 10000));
    const std::string archive = file.dir / "arch.imp", plain = file.dir / "plain.imp";
    const auto size = std::filesystem::file_size(file.path);
    auto archiveFile = [&] {
        std::filesystem::remove(archive);
        const paired::Spent spent =
            paired::Own([&] { TLTools::ArchiveFile(file.path, archive, nullptr, false, -1, true, ""); });
        if (!testutil::ReadFile(archive).ends_with(testutil::ReadFile(file.path)))
            paired::Fail(state, "the archive does not end with the file's bytes");
        return spent;
    };
    auto copy = [&] {
        std::filesystem::remove(plain);
        const paired::Spent spent = paired::Own([&] { AppendCopy(file.path, plain); });
        if (std::filesystem::file_size(plain) != size) paired::Fail(state, "the plain copy lost bytes");
        return spent;
    };
    paired::Sides sides({"archive", "copy"});
    if (!sides.Measure(state, {archiveFile, copy})) return;
    paired::Sides::Report(state, "ratio", sides.Over(0, 1));
    paired::Judge("Archive: the archive function's time over a plain copy's", sides.Over(0, 1), Goal::AtMost, 2);
}

}  // namespace

int main(int argc, char** argv)
{
    return paired::Main(argc, argv, [] {
        paired::Register("ReadLines", ReadLines);
        paired::Register("Archive", Archive);
    });
}
