#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace kvzcalc {

namespace {

// The bar appears only once a run has taken this long.
constexpr std::chrono::milliseconds kProgressDelay{500};
constexpr int kProgressWidth = 40;

}  // namespace

Progress::Progress(long long total, std::string label)
    : total_(total), label_(std::move(label)), enabled_(isatty(STDERR_FILENO) != 0),
      start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", kProgressWidth + 20 + static_cast<int>(label_.size()), "");
}

void Progress::update(long long done) {
    if (!enabled_ || total_ <= 0 || std::chrono::steady_clock::now() - start_ < kProgressDelay) return;
    shown_ = true;
    const int filled = static_cast<int>(kProgressWidth * done / total_);
    std::fprintf(stderr, "\r%s [%s%s] %3lld%%", label_.c_str(), std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kProgressWidth - filled), ' ').c_str(), 100 * done / total_);
    std::fflush(stderr);
}

}  // namespace kvzcalc
