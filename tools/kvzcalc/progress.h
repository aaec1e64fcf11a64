// A bar on stderr for runs that take a while, and only when a person watches
// it: drawn once the run has taken half a second, on a terminal only.
#pragma once

#include <chrono>
#include <string>

namespace kvzcalc {

class Progress {
public:
    // total: the units of work; label: what is being done, e.g. "drawing".
    Progress(long long total, std::string label);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // done units of total are finished.
    void update(long long done);

private:
    long long total_;
    std::string label_;
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kvzcalc
