// The harness's host with the real library registered, configured as a user
// has it: every parameter the benchmark does not set takes the catalogue's
// default, as a host shows a parameter it never stored, the protocol trace
// aside, which each run-level benchmark times off and on. VELCOMBO_BENCH_LIB
// names another build of the library to time in its place, such as an
// earlier one.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "hostlib.h"
#include "register_session.h"

// The two configurations of a run: the trace off, and on as the catalogue
// has it.
enum class Trace { Off, On };

inline const char* TraceName(Trace trace)
{
    return trace == Trace::On ? "trace on" : "trace off";
}

struct RunHost {
    VelHost host;

    RunHost(const std::string& folder, Trace trace, std::initializer_list<std::pair<const char*, std::string>> params)
    {
        std::string error;
        const char* other = std::getenv("VELCOMBO_BENCH_LIB");
        if (!host.Load(other ? other : VELCOMBO_LIB, error)) throw std::runtime_error(error);
        host.device.folder = folder;
        testutil::SetParams(host, params);
        host.SetParam("ComboDedbug", trace == Trace::On ? "1" : "0");
        host.TakeCatalogueDefaults();
        if (!host.Register()) throw std::runtime_error("registration failed");
    }
    int Run(int operation)
    {
        char text[301] = {};
        void* session = nullptr;
        return host.Lib().SerKasOperacja(host.Handle(), host.Call(), &session, text, operation, 0);
    }
};

// Whether the library told the host of an error.
inline bool ToldOfError(VelHost& host)
{
    std::lock_guard<std::mutex> lock(host.linesLock);
    for (const HostLine& line : host.lines)
        if (line.kind == 2) return true;
    return false;
}

// How often `part` begins a line of `text`.
inline size_t LinesStartingWith(std::string_view text, std::string_view part)
{
    size_t n = text.starts_with(part) ? 1 : 0;
    for (size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        if (text.substr(at + 1).starts_with(part)) ++n;
    return n;
}
