// A unique scratch folder per test, removed with everything in it at the end,
// so tests can run in parallel with real files.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

class TestFolder {
public:
    TestFolder()
    {
        const char* env = std::getenv("VELCOMBO_TEST_TMP");
#ifdef VELCOMBO_TEST_TMP
        std::string base = env && *env ? env : VELCOMBO_TEST_TMP;
#else
        std::string base = env && *env ? env : "/tmp";
#endif
        std::filesystem::create_directories(base);
        std::string pattern = base + "/t-XXXXXX";
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + base);
        FPath = pattern;
    }
    ~TestFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::string& Path() const { return FPath; }
    // A path inside the folder.
    std::string operator/(const std::string& name) const { return FPath + "/" + name; }

private:
    std::string FPath;
};

// The bytes of a file ("" when it cannot be read).
inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
