// An import as a host runs it: the harness as a process of its own, loading
// the real library, importing (operation -3) over TCP/IP from the register
// simulator into an exchange folder of the test, and keeping what it takes
// as a real host keeps it. Then what the host holds, to compare one run's
// outcome with another's.
#pragma once

#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/types.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "peer_process.h"
#include "testutil.h"

namespace testutil {

// The harness importing with the configuration `ini`, its output in the
// file `out`; `environment` holds more "NAME=value" entries for it. It is
// killed when the test's process ends.
pid_t StartHost(const std::string& ini, const std::string& out, rlim_t fileSizeLimit = RLIM_INFINITY,
                const std::vector<std::string>& environment = {});
// Its exit status, or minus the signal that ended it.
int WaitHost(pid_t pid);

// The register simulator with the receipt records and fault plan given, the
// host's configuration and its store, the exchange folder (by default a
// folder of the test) and the EDI folder. No trace: the folder holds the
// import's own files alone.
class RegisterAndHost {
public:
    RegisterAndHost(const nlohmann::json& records, const std::string& faults, const std::string& exchange = "",
                    const std::string& moreIni = "");

    // One host run to its end (its exit status), or killed as soon as the
    // simulator holds a request (then -SIGKILL; `held` says whether one was
    // held before the wait gave up).
    int Run(bool killOnHold = false, rlim_t fileSizeLimit = RLIM_INFINITY,
            const std::vector<std::string>& environment = {});

    std::string File(const std::string& name) const { return ReadFile(folder + "/" + name); }
    // A reading or a receipt carried on, left for the next run.
    bool Leftover() const { return Exists(folder + "/combo.imp") || Exists(folder + "/receipt.tmp"); }

    TempDir tmp;
    std::string folder, edi, store, journal;
    bool held = false;
    peerproc::PeerProcess sim;
};

// What the host holds: the receipt and other-operation blocks of every
// import it took, the totals and hourly report summed over them, and the
// order lines of the EDI documents.
struct Holdings {
    std::multiset<std::string> blocks;
    std::map<std::string, long long> sums;
    std::multiset<std::string> orders;
    bool operator==(const Holdings&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Holdings& h);

// What these imports and the documents of this EDI folder hold.
Holdings HoldingsOf(const std::vector<std::string>& imports, const std::string& ediFolder);
Holdings Holds(const RegisterAndHost& r);

// The EDI folder's documents, each its "Linia" lines in their order, as
// read (a line's '\r' kept).
std::vector<std::vector<std::string>> EdiDocuments(const std::string& ediFolder);

}  // namespace testutil
