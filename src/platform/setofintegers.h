// The package's set of integers: distinct values in the order they were added.
#pragma once

#include <cstdint>
#include <vector>

#include "sysutils.h"

class TMacSetOfIntegers {
public:
    // `capacity` is how many values are expected; the set grows past it.
    explicit TMacSetOfIntegers(int capacity = 0);

    // Appends `value` unless the set already holds it.
    void Add(int32_t value);
    void Clear() { FValues.clear(); }
    int GetCount() const { return static_cast<int>(FValues.size()); }
    // Value i in the order of adding; an index outside the set throws Exception.
    int32_t GetValues(int i) const;

private:
    std::vector<int32_t> FValues;
};
