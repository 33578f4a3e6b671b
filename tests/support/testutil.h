// Small helpers for every test: a temporary folder of its own, whole files, waiting, and running a command.
#pragma once

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

namespace testutil {

// A fresh folder under the test temp root, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return FPath; }
    // The folder with a trailing '/', as an exchange folder is given.
    std::string Folder() const { return FPath + "/"; }
    std::string File(const std::string& name) const { return FPath + "/" + name; }
    std::string operator/(const std::string& name) const { return File(name); }

private:
    std::string FPath;
};

std::string ReadFile(const std::string& path);
// The lines of a text file, their '\n' ends removed; none for a missing file.
std::vector<std::string> ReadLines(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

// Whether, and how often, `item` is in `items`.
template <typename T>
bool Contains(const std::vector<T>& items, const std::type_identity_t<T>& item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}
template <typename T>
size_t CountOf(const std::vector<T>& items, const std::type_identity_t<T>& item)
{
    return static_cast<size_t>(std::count(items.begin(), items.end(), item));
}

// a followed by b.
template <typename T>
std::vector<T> Concat(std::vector<T> a, const std::type_identity_t<std::vector<T>>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The bytes with these values: Hex({0x10, 0x02}).
inline std::string Hex(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

// Asks `done` every few milliseconds until it is true (true) or timeoutMs
// has passed (false): for what a peer in another process does a moment after
// the driver.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
// How long a test waits for what another process or thread is sure to do: a
// bound only for when it never happens, long enough for a loaded machine,
// where a moment may last seconds.
constexpr int kEventWaitMs = 60000;

struct RunResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;  // standard output
};
// Runs argv[0] with the arguments, standard error passed through.
RunResult Run(const std::vector<std::string>& argv);

}  // namespace testutil
