// A plain INI file: [section] headers, key=value lines, ';' or '#' comments.
// Keys keep their order within a section.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

class IniFile {
public:
    using Section = std::vector<std::pair<std::string, std::string>>;

    bool Load(const std::string& path, std::string& error);
    void Parse(const std::string& text);
    const Section& Get(const std::string& section) const;
    // The value of a key, or the fallback when the section has no such key.
    std::string Value(const std::string& section, const std::string& key, const std::string& fallback = "") const;
    bool Has(const std::string& section, const std::string& key) const;

private:
    std::map<std::string, Section> FSections;
};
