#include "setofintegers.h"

#include <algorithm>

TMacSetOfIntegers::TMacSetOfIntegers(int capacity)
{
    // Only a hint: a nonsense value must not reserve memory.
    FValues.reserve(static_cast<size_t>(std::clamp(capacity, 0, 4096)));
}

void TMacSetOfIntegers::Add(int32_t value)
{
    if (std::find(FValues.begin(), FValues.end(), value) == FValues.end()) FValues.push_back(value);
}

int32_t TMacSetOfIntegers::GetValues(int i) const
{
    if (i < 0 || i >= GetCount())
        throw Exception(Format("Zbiór liczb: indeks %d poza zakresem 0..%d", i, GetCount() - 1));
    return FValues[static_cast<size_t>(i)];
}
