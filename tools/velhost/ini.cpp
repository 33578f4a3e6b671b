#include "ini.h"

#include <fstream>
#include <sstream>

namespace {
std::string Strip(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return s.substr(b, e - b);
}
// A value in double quotes keeps its blanks.
std::string Unquote(const std::string& s)
{
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}
}  // namespace

bool IniFile::Load(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    Parse(text.str());
    return true;
}

void IniFile::Parse(const std::string& text)
{
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string s = Strip(line);
        if (s.empty() || s[0] == ';' || s[0] == '#') continue;
        if (s.front() == '[' && s.back() == ']') {
            section = Strip(s.substr(1, s.size() - 2));
            FSections[section];
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            FSections[section].emplace_back(Strip(line), "");
        else
            FSections[section].emplace_back(Strip(line.substr(0, eq)), Unquote(Strip(line.substr(eq + 1))));
    }
}

const IniFile::Section& IniFile::Get(const std::string& section) const
{
    static const Section empty;
    auto it = FSections.find(section);
    return it == FSections.end() ? empty : it->second;
}

std::string IniFile::Value(const std::string& section, const std::string& key, const std::string& fallback) const
{
    for (const auto& [k, v] : Get(section))
        if (k == key) return v;
    return fallback;
}

bool IniFile::Has(const std::string& section, const std::string& key) const
{
    for (const auto& kv : Get(section))
        if (kv.first == key) return true;
    return false;
}
