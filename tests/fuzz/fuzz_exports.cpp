// libFuzzer harness: decodes its input into a sequence of export calls and
// checks, after every call, what a host may rely on whatever it passes in:
//   - no crash and no sanitizer report (the build adds address, undefined);
//   - no call runs longer than one second;
//   - the byte flags read back as 0 or 1, the class as 0, 1 or 2, rng() in (0, 1);
//   - a call on one slot leaves every other slot as it was: the sentinel slot,
//     prepared at the start and never called, reports the same getters and
//     keeps the same record, and the call's neighbours keep their records;
//   - dvalue_correlated: a refusal writes nothing and leaves the generator and
//     every record as they were; a draw's columns are the uncorrelated draws
//     (dvalue_batch from the same state) reordered, and it leaves the
//     generator where those draws would.
//
// Input format, read front to back (tests/fuzz/make_seeds.py writes the same):
//   byte 0   sentinel slot (mod 21)      byte 1   sentinel set-up (mod 3)
//   then one call after another: an op byte (mod kOpCount) and its arguments,
//   each argument decoded by read_slot / read_code / read_int / read_double /
//   read_flag / read_count below. A missing byte reads as 0.
//
// KVZ_FUZZ_TRACE=1 prints every decoded call to stderr, as C, so that a
// reproducer can be turned into a plain call sequence.
#include <ctime>
#include <cstdarg>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"
#include "include/kvz_comp_corr.h"
#include "include/kvz_comp_fit.h"
#include "interface/slot.h"
#include "sampling/sampling.h"

namespace {

using kvz::DistSlot;
using kvz::kSlotCount;

constexpr double kCallLimitSeconds = 1.0;
constexpr int kMaxCallsPerInput = 128;
constexpr int kMaxBatch = 64;

// ---------------------------------------------------------------- decoding

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    template <class T>
    T raw() {
        std::uint8_t buf[sizeof(T)] = {};
        for (auto& b : buf) b = byte();
        T v;
        std::memcpy(&v, buf, sizeof(T));
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr int kBadSlots[] = {-1, 21, 22, -21, 255, INT_MIN, INT_MAX, 1 << 20};

// Bytes 0..20 are the slots; above them come indices outside 0..20.
int read_slot(Reader& r) {
    const int b = r.byte();
    if (b < kSlotCount) return b;
    return kBadSlots[(b - kSlotCount) % (sizeof kBadSlots / sizeof kBadSlots[0])];
}

constexpr int kBadCodes[] = {-1, -100, 37, 100, 256 + 4, INT_MIN, INT_MAX, 65536 + 12};

// Bytes 0..39 are the codes themselves (every catalogue code, the unassigned
// ones and a few above); the rest give far-off codes.
int read_code(Reader& r) {
    const int b = r.byte();
    if (b < 40) return b;
    return kBadCodes[(b - 40) % (sizeof kBadCodes / sizeof kBadCodes[0])];
}

const double kSpecial[] = {
    0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 3.0, 10.0,
    1e-3, 1e6, 1e300, -1e300,
    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::denorm_min(),
    std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(), 0.995, 0.005, 1e-300, 1.0 - 1e-16, 0.9999999,
};
constexpr int kSpecialCount = sizeof kSpecial / sizeof kSpecial[0];

// 0..23 special values; 24..123 probabilities 0.00..0.99; 124..223 the
// half-integers -20..29.5; 224..255 the next eight bytes as a raw double.
double read_double(Reader& r) {
    const int b = r.byte();
    if (b < kSpecialCount) return kSpecial[b];
    if (b < 124) return (b - 24) / 100.0;
    if (b < 224) return (b - 164) * 0.5;
    return r.raw<double>();
}

constexpr int kSpecialInts[] = {0, 1, 2, 1000, 1999, 2000, 2001, 5000, 100000, 10000000,
                                INT_MAX, INT_MIN, -1, -1000, 30000, 65535};

// 0..127 the integers -8..119; 128..239 special integers; 240..255 four raw bytes.
int read_int(Reader& r) {
    const int b = r.byte();
    if (b < 128) return b - 8;
    if (b < 240) return kSpecialInts[(b - 128) % (sizeof kSpecialInts / sizeof kSpecialInts[0])];
    return r.raw<std::int32_t>();
}

// Truncation flags: only the low byte counts, so include values whose low byte is 0.
int read_flag(Reader& r) {
    constexpr int kFlags[] = {0, 1, 2, 255, 256, 257, -1, -256};
    return kFlags[r.byte() % 8];
}

// Batch lengths: mostly small, sometimes zero or negative.
int read_count(Reader& r) {
    const int b = r.byte();
    if (b >= 250) return -(b - 249);
    return b % (kMaxBatch + 1);
}

// ---------------------------------------------------------------- checks

bool g_trace = false;

[[noreturn]] void fail(const char* what, const char* call) {
    std::fprintf(stderr, "INVARIANT BROKEN: %s (after %s)\n", what, call);
    std::fflush(stderr);
    std::abort();
}

void check_flag(int value, const char* what, const char* call) {
    if (value != 0 && value != 1) fail(what, call);
}

// Everything about a slot that the boolean getters report must be 0 or 1.
void check_flags(int slot, const char* call) {
    check_flag(get_pdf_min_exists(slot), "min_exists not 0/1", call);
    check_flag(get_pdf_max_exists(slot), "max_exists not 0/1", call);
    check_flag(get_pdf_avg_exists(slot), "avg_exists not 0/1", call);
    check_flag(get_pdf_var_exists(slot), "var_exists not 0/1", call);
    check_flag(get_pdf_mod_exists(slot), "mod_exists not 0/1", call);
    check_flag(get_pdf_med_exists(slot), "med_exists not 0/1", call);
    check_flag(get_pdf_skw_exists(slot), "skw_exists not 0/1", call);
    check_flag(get_pdf_krt_exists(slot), "krt_exists not 0/1", call);
    check_flag(get_pmin_extend(slot), "pmin_extend not 0/1", call);
    check_flag(get_pmax_extend(slot), "pmax_extend not 0/1", call);
    const int c = get_pdf_dclass(slot);
    if (c < 0 || c > 2) fail("dclass outside 0..2", call);
}

// What a host sees of the sentinel slot; compared bit for bit.
struct View {
    double v[16];
    int flags[11];
};

View view_of(int slot) {
    View w{};
    w.v[0] = get_pdf_mean(slot);
    w.v[1] = get_pdf_variance(slot);
    w.v[2] = get_pdf_stdev(slot);
    w.v[3] = get_pdf_skewness(slot);
    w.v[4] = get_pdf_kurtosis(slot);
    w.v[5] = get_pdf_median(slot);
    w.v[6] = get_pdf_mode(slot);
    w.v[7] = get_pdf_minimum(slot);
    w.v[8] = get_pdf_maximum(slot);
    w.v[9] = get_pdf_p_min(slot);
    w.v[10] = get_pdf_p_max(slot);
    w.v[11] = get_pdf_pdf(slot, 3.0);
    w.v[12] = get_pdf_f(slot, 3.0);
    w.v[13] = get_pdf_pdf(slot, 7.5);
    w.v[14] = get_pdf_f(slot, 7.5);
    w.v[15] = get_pdf_g(slot, 0.3);
    w.flags[0] = get_pdf_dclass(slot);
    w.flags[1] = get_pdf_min_exists(slot);
    w.flags[2] = get_pdf_max_exists(slot);
    w.flags[3] = get_pdf_avg_exists(slot);
    w.flags[4] = get_pdf_var_exists(slot);
    w.flags[5] = get_pdf_mod_exists(slot);
    w.flags[6] = get_pdf_med_exists(slot);
    w.flags[7] = get_pdf_skw_exists(slot);
    w.flags[8] = get_pdf_krt_exists(slot);
    w.flags[9] = get_pmin_extend(slot);
    w.flags[10] = get_pmax_extend(slot);
    return w;
}

bool same_view(const View& a, const View& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A sentinel distribution: one of three set-ups that keep getters cheap.
void prepare_sentinel(int slot, int kind) {
    set_pdf_t_min(slot, 0, 0.0);
    set_pdf_t_max(slot, 0, 0.0);
    switch (kind % 3) {
        case 0:  // gamma, scale 2, shape 3
            set_pdf_dtype(slot, 12);
            set_pdf_scale(slot, 2.0);
            set_pdf_shape_a(slot, 3.0);
            break;
        case 1:  // Poisson, mean 4
            set_pdf_dtype(slot, 6);
            set_pdf_mean(slot, 4.0);
            break;
        default:  // normal truncated to [-1, 9]
            set_pdf_dtype(slot, 4);
            set_pdf_mean(slot, 3.0);
            set_pdf_stdev(slot, 2.0);
            set_pdf_t_min(slot, 1, -1.0);
            set_pdf_t_max(slot, 1, 9.0);
            break;
    }
    dinitialise(slot);
    precalc(slot);
}

// Shadow copies of the slot records, refreshed for the slot a call may change.
DistSlot g_shadow[kSlotCount];

const DistSlot& record(int slot) { return *kvz::slot_at(slot); }

void refresh_shadow(int slot) { std::memcpy(&g_shadow[slot], &record(slot), sizeof(DistSlot)); }

void check_unchanged(int slot, const char* call) {
    if (slot < 0 || slot >= kSlotCount) return;
    if (std::memcmp(&g_shadow[slot], &record(slot), sizeof(DistSlot)) != 0)
        fail("a call changed the record of a slot it was not given", call);
}

// ---------------------------------------------------------------- calls

enum Op : int {
    kSetDtype, kSetMean, kSetLmean, kSetMode, kSetMedian, kSetStdev, kSetLstdev, kSetMinimum,
    kSetMaximum, kSetScale, kSetShapeA, kSetShapeB, kSetP, kSetN, kSetPop, kSetPopsuc, kSetSam,
    kSetTmin, kSetTmax,
    kGetDclass, kGetMinExists, kGetMaxExists, kGetAvgExists, kGetVarExists, kGetModExists,
    kGetMedExists, kGetSkwExists, kGetKrtExists, kGetPminExtend, kGetPmaxExtend,
    kGetMean, kGetMode, kGetMedian, kGetVariance, kGetStdev, kGetSkewness, kGetKurtosis,
    kGetMinimum, kGetMaximum, kGetPMin, kGetPMax,
    kDinitialise, kPdf, kPdfValid, kF, kG, kBetai, kSetRngType, kRng, kPrecalc, kDvalue,
    kDvalueBatch, kPdfBatch, kFBatch, kGBatch, kRngBatch, kGWhole, kFit, kDvalueCorrelated,
    kOpCount
};
static_assert(kOpCount == 59, "51 exports, 5 batch calls, the whole-number quantile, the fit and the correlated draw");

using DoubleSetter = void (*)(int, double);
using IntSetter = void (*)(int, int);
using IntGetter = int (*)(int);
using DoubleGetter = double (*)(int);

constexpr DoubleSetter kDoubleSetters[] = {
    set_pdf_mean, set_pdf_lmean, set_pdf_mode, set_pdf_median, set_pdf_stdev, set_pdf_lstdev,
    set_pdf_minimum, set_pdf_maximum, set_pdf_scale, set_pdf_shape_a, set_pdf_shape_b, set_pdf_p};
constexpr const char* kDoubleSetterNames[] = {
    "set_pdf_mean", "set_pdf_lmean", "set_pdf_mode", "set_pdf_median", "set_pdf_stdev",
    "set_pdf_lstdev", "set_pdf_minimum", "set_pdf_maximum", "set_pdf_scale", "set_pdf_shape_a",
    "set_pdf_shape_b", "set_pdf_p"};
constexpr IntSetter kIntSetters[] = {set_pdf_n, set_pdf_pop, set_pdf_popsuc, set_pdf_sam};
constexpr const char* kIntSetterNames[] = {"set_pdf_n", "set_pdf_pop", "set_pdf_popsuc",
                                           "set_pdf_sam"};
constexpr IntGetter kIntGetters[] = {
    get_pdf_dclass, get_pdf_min_exists, get_pdf_max_exists, get_pdf_avg_exists,
    get_pdf_var_exists, get_pdf_mod_exists, get_pdf_med_exists, get_pdf_skw_exists,
    get_pdf_krt_exists, get_pmin_extend, get_pmax_extend};
constexpr const char* kIntGetterNames[] = {
    "get_pdf_dclass", "get_pdf_min_exists", "get_pdf_max_exists", "get_pdf_avg_exists",
    "get_pdf_var_exists", "get_pdf_mod_exists", "get_pdf_med_exists", "get_pdf_skw_exists",
    "get_pdf_krt_exists", "get_pmin_extend", "get_pmax_extend"};
constexpr DoubleGetter kDoubleGetters[] = {
    get_pdf_mean, get_pdf_mode, get_pdf_median, get_pdf_variance, get_pdf_stdev,
    get_pdf_skewness, get_pdf_kurtosis, get_pdf_minimum, get_pdf_maximum, get_pdf_p_min,
    get_pdf_p_max};
constexpr const char* kDoubleGetterNames[] = {
    "get_pdf_mean", "get_pdf_mode", "get_pdf_median", "get_pdf_variance", "get_pdf_stdev",
    "get_pdf_skewness", "get_pdf_kurtosis", "get_pdf_minimum", "get_pdf_maximum",
    "get_pdf_p_min", "get_pdf_p_max"};

// A call decoded from the input, kept for the trace and for failure messages.
struct Call {
    char text[160];
    int slot = INT_MIN;      // the slot the call is given, or INT_MIN for none
    bool uses_slot = false;
    int values = 1;          // values a batch call computes: its time limit scales with them
};

void describe(Call& c, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void describe(Call& c, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(c.text, sizeof c.text, fmt, args);
    va_end(args);
}

// Batch arrays sized exactly to the count, so that any write past the end is
// caught by the address sanitizer.
void fill_values(Reader& r, std::vector<double>& xs, int count) {
    xs.assign(count > 0 ? static_cast<std::size_t>(count) : 0, 0.0);
    for (auto& x : xs) x = read_double(r);
}

// A fit of fuzzed values: a refusal is one of the header's codes, written
// to the result too, and leaves the slot's record as it was.
void fit_call(Reader& r, int s, Call& c) {
    const int code = read_code(r);
    const int count = read_count(r);
    const int mode = r.byte() % 8;  // 0: null data, 1: null result, 2: no workspace, 3: one byte short
    std::vector<double> xs;
    fill_values(r, xs, count);
    kvz_fit_result result{};
    result.minimum = read_double(r);
    result.maximum = read_double(r);
    result.n = read_int(r);
    const std::size_t needed = fit_pdf_work_size(code, count);
    std::vector<unsigned char> work(needed > 0 ? needed : 1);
    const std::size_t bytes = mode == 2 ? 0 : mode == 3 && needed > 0 ? needed - 1 : needed;
    describe(c, "fit_pdf(%d, %d, x, %d, work, %zu, result) /* mode %d */", s, code, count, bytes, mode);
    c.values = count > 1 ? count : 1;
    const int got = fit_pdf(s, code, mode == 0 ? nullptr : xs.data(), count, work.data(), bytes,
                            mode == 1 ? nullptr : &result);
    if (got > 0 || got < KVZ_FIT_NO_CONVERGENCE) fail("fit_pdf code outside 0..-8", c.text);
    if (mode != 1 && result.status != got) fail("fit_pdf status differs from its code", c.text);
    if (got != 0) check_unchanged(s, c.text);
}

// Decode one call and make it. The sentinel is never called: its index is moved on.
// dvalue_correlated over up to four slots (never the sentinel, which no call
// may change). A refusal writes nothing and leaves the generator and the
// records as they were. A draw gives, in each column, the values
// dvalue_batch would give from the same state, reordered: checked by running
// those batches from copies of the state before, then putting back the state
// after. The given slots' shadows are refreshed here.
void correlated_call(Reader& r, int sentinel, Call& c) {
    const int k = 1 + r.byte() % 4;
    int slots[4];
    for (int j = 0; j < k; ++j) {
        slots[j] = read_slot(r);
        if (slots[j] == sentinel) slots[j] = (sentinel + 1) % kSlotCount;
    }
    const int n = read_count(r);
    const int shape = r.byte() % 3;  // 0: identity, 1: equal off-diagonal entries, 2: entries as read
    const double rho = (r.byte() % 201 - 100) / 100.0;
    double target[16];
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
            target[i * k + j] = shape == 2 ? read_double(r) : i == j ? 1.0 : shape == 1 ? rho : 0.0;
    describe(c, "dvalue_correlated({%d, %d, %d, %d}, %d, %d, target /* shape %d, %g */)", slots[0],
             k > 1 ? slots[1] : -1, k > 2 ? slots[2] : -1, k > 3 ? slots[3] : -1, k, n, shape, rho);
    c.values = (n > 1 ? n : 1) * k;
    const std::size_t size = dvalue_correlated_work_size(k, n);
    std::vector<unsigned char> work(size > 0 ? size : 1);
    const std::size_t cells = static_cast<std::size_t>(n > 0 ? n : 1) * static_cast<std::size_t>(k);
    std::vector<double> out(cells, -7.0);
    double achieved[16];
    std::fill(achieved, achieved + 16, -7.0);
    double repaired = -7.0;
    const kvz::Generator before = kvz::generator();
    const int code = dvalue_correlated(slots, k, n, target, out.data(), achieved, &repaired, work.data(), size);
    if (code != KVZ_CORR_OK) {
        if (std::memcmp(&before, &kvz::generator(), sizeof before) != 0) fail("a refused correlated draw moved the generator", c.text);
        if (repaired != -7.0 || std::any_of(out.begin(), out.end(), [](double v) { return v != -7.0; }) ||
            std::any_of(achieved, achieved + 16, [](double v) { return v != -7.0; }))
            fail("a refused correlated draw wrote its outputs", c.text);
        for (int i = 0; i < kSlotCount; ++i) check_unchanged(i, c.text);
        return;
    }
    // The uncorrelated draws from the state before, then the state after put back.
    const kvz::Generator after = kvz::generator();
    std::vector<DistSlot> drawn(static_cast<std::size_t>(k));
    for (int j = 0; j < k; ++j) std::memcpy(&drawn[j], &record(slots[j]), sizeof(DistSlot));
    for (int j = 0; j < k; ++j) std::memcpy(kvz::slot_at(slots[j]), &g_shadow[slots[j]], sizeof(DistSlot));
    kvz::generator() = before;
    // Compared as sorted bit patterns: a total order, NaN and -0 included.
    const auto bits = [](double v) {
        std::uint64_t b;
        std::memcpy(&b, &v, sizeof b);
        return b;
    };
    std::vector<double> plain(static_cast<std::size_t>(n));
    std::vector<std::uint64_t> expected(plain.size()), got(plain.size());
    for (int j = 0; j < k; ++j) {
        dvalue_batch(slots[j], plain.data(), n);
        for (int i = 0; i < n; ++i) {
            expected[i] = bits(plain[i]);
            got[i] = bits(out[static_cast<std::size_t>(i) * k + j]);
        }
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
        if (expected != got) fail("a correlated column is not the uncorrelated draws reordered", c.text);
    }
    if (std::memcmp(&after, &kvz::generator(), sizeof after) != 0)
        fail("the correlated draw left the generator elsewhere than the plain draws", c.text);
    for (int j = 0; j < k; ++j) {
        std::memcpy(kvz::slot_at(slots[j]), &drawn[j], sizeof(DistSlot));
        refresh_shadow(slots[j]);
    }
    for (int i = 0; i < kSlotCount; ++i) check_unchanged(i, c.text);
}

void run_call(Reader& r, int sentinel, Call& c) {
    const int op = r.byte() % kOpCount;
    auto slot_arg = [&] {
        int s = read_slot(r);
        if (s == sentinel) s = (s + 1) % kSlotCount;
        c.slot = s;
        c.uses_slot = true;
        return s;
    };

    if (op == kSetDtype) {
        const int s = slot_arg();
        const int code = read_code(r);
        describe(c, "set_pdf_dtype(%d, %d)", s, code);
        set_pdf_dtype(s, code);
    } else if (op >= kSetMean && op <= kSetP) {
        const int s = slot_arg();
        const double v = read_double(r);
        describe(c, "%s(%d, %a)", kDoubleSetterNames[op - kSetMean], s, v);
        kDoubleSetters[op - kSetMean](s, v);
    } else if (op >= kSetN && op <= kSetSam) {
        const int s = slot_arg();
        const int v = read_int(r);
        describe(c, "%s(%d, %d)", kIntSetterNames[op - kSetN], s, v);
        kIntSetters[op - kSetN](s, v);
    } else if (op == kSetTmin || op == kSetTmax) {
        const int s = slot_arg();
        const int flag = read_flag(r);
        const double v = read_double(r);
        describe(c, "%s(%d, %d, %a)", op == kSetTmin ? "set_pdf_t_min" : "set_pdf_t_max", s,
                 flag, v);
        (op == kSetTmin ? set_pdf_t_min : set_pdf_t_max)(s, flag, v);
    } else if (op >= kGetDclass && op <= kGetPmaxExtend) {
        const int s = slot_arg();
        describe(c, "%s(%d)", kIntGetterNames[op - kGetDclass], s);
        const int v = kIntGetters[op - kGetDclass](s);
        if (op == kGetDclass) {
            if (v < 0 || v > 2) fail("dclass outside 0..2", c.text);
        } else {
            check_flag(v, "flag getter not 0/1", c.text);
        }
    } else if (op >= kGetMean && op <= kGetPMax) {
        const int s = slot_arg();
        describe(c, "%s(%d)", kDoubleGetterNames[op - kGetMean], s);
        const double v = kDoubleGetters[op - kGetMean](s);
        // The end probabilities of a slot (an index outside 0..20 answers 0).
        const bool valid = s >= 0 && s < kSlotCount;
        if (op == kGetPMin && v != 0.0 && v != 0.005) fail("p_min not 0 or 0.005", c.text);
        if (op == kGetPMax && valid && v != 1.0 && v != 0.995) fail("p_max not 1 or 0.995", c.text);
    } else if (op == kDinitialise) {
        const int s = slot_arg();
        describe(c, "dinitialise(%d)", s);
        dinitialise(s);
    } else if (op == kPdf || op == kF || op == kG || op == kPdfValid) {
        const int s = slot_arg();
        const double x = read_double(r);
        static const char* names[] = {"get_pdf_pdf", "get_pdf_pdf_valid", "get_pdf_f",
                                      "get_pdf_g"};
        describe(c, "%s(%d, %a)", names[op - kPdf], s, x);
        if (op == kPdf) (void)get_pdf_pdf(s, x);
        if (op == kF) (void)get_pdf_f(s, x);
        if (op == kG) (void)get_pdf_g(s, x);
        if (op == kPdfValid) check_flag(get_pdf_pdf_valid(s, x), "pdf_valid not 0/1", c.text);
    } else if (op == kGWhole) {
        const int s = slot_arg();
        const double p = read_double(r);
        describe(c, "get_pdf_g_whole(%d, %a)", s, p);
        (void)get_pdf_g_whole(s, p);
    } else if (op == kBetai) {
        const double a = read_double(r), b = read_double(r), x = read_double(r);
        describe(c, "betai(%a, %a, %a)", a, b, x);
        (void)betai(a, b, x);
    } else if (op == kSetRngType) {
        // The stratified and shuffled kinds, the plain one, or any other code.
        const int pick = r.byte() % 4;
        const int kind = pick == 0 ? 15 : pick == 1 ? 20 : pick == 2 ? 0 : read_int(r);
        const int seed = read_int(r);
        describe(c, "set_rng_type(%d, %d)", kind, seed);
        set_rng_type(kind, seed);
    } else if (op == kRng) {
        describe(c, "rng()");
        const double u = rng();
        if (!(u > 0.0 && u < 1.0)) fail("rng() outside (0, 1)", c.text);
    } else if (op == kPrecalc) {
        const int s = slot_arg();
        describe(c, "precalc(%d)", s);
        precalc(s);
    } else if (op == kDvalue) {
        const int s = slot_arg();
        describe(c, "dvalue(%d)", s);
        (void)dvalue(s);
    } else if (op == kDvalueBatch) {
        const int s = slot_arg();
        const int count = read_count(r);
        const bool null_out = r.byte() % 8 == 0;
        std::vector<double> out(count > 0 ? static_cast<std::size_t>(count) : 0);
        describe(c, "dvalue_batch(%d, %s, %d)", s, null_out ? "NULL" : "out", count);
        c.values = count > 1 ? count : 1;
        dvalue_batch(s, null_out ? nullptr : out.data(), count);
    } else if (op == kRngBatch) {
        const int count = read_count(r);
        const bool null_out = r.byte() % 8 == 0;
        std::vector<double> out(count > 0 ? static_cast<std::size_t>(count) : 0);
        describe(c, "rng_batch(%s, %d)", null_out ? "NULL" : "out", count);
        c.values = count > 1 ? count : 1;
        rng_batch(null_out ? nullptr : out.data(), count);
        for (const double u : out) {
            if (!null_out && !(u > 0.0 && u < 1.0)) fail("rng_batch value outside (0, 1)", c.text);
        }
    } else if (op == kFit) {
        fit_call(r, slot_arg(), c);
    } else if (op == kDvalueCorrelated) {
        correlated_call(r, sentinel, c);
    } else {  // the three evaluation batches
        const int s = slot_arg();
        const int count = read_count(r);
        const int mode = r.byte() % 8;  // 0: null x, 1: null out, 2-3: in place, else separate
        std::vector<double> xs, out;
        fill_values(r, xs, count);
        out.assign(xs.size(), 0.0);
        const double* x = mode == 0 ? nullptr : xs.data();
        double* o = mode == 1 ? nullptr : (mode < 4 ? xs.data() : out.data());
        static const char* names[] = {"get_pdf_pdf_batch", "get_pdf_f_batch", "get_pdf_g_batch"};
        describe(c, "%s(%d, x, out, %d) /* mode %d */", names[op - kPdfBatch], s, count, mode);
        c.values = count > 1 ? count : 1;
        if (op == kPdfBatch) get_pdf_pdf_batch(s, x, o, count);
        if (op == kFBatch) get_pdf_f_batch(s, x, o, count);
        if (op == kGBatch) get_pdf_g_batch(s, x, o, count);
    }
}

void reset_library() {
    // Start every input from the state at load (zero records) so that a
    // reproducer does not depend on the inputs run before it.
    for (int i = 0; i < kSlotCount; ++i) std::memset(kvz::slot_at(i), 0, sizeof(DistSlot));
    set_rng_type(0, -327680);  // plain generator at state 0
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* t = std::getenv("KVZ_FUZZ_TRACE");
    g_trace = t && *t && *t != '0';
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader r(data, size);
    reset_library();
    const int sentinel = r.byte() % kSlotCount;
    prepare_sentinel(sentinel, r.byte());
    if (g_trace) std::fprintf(stderr, "/* sentinel slot %d */\n", sentinel);

    // Reading the view asks the sentinel for cumulative values, which may
    // record checkpoints of its sums on the first reading: the records are
    // taken after it.
    const View before = view_of(sentinel);
    for (int i = 0; i < kSlotCount; ++i) refresh_shadow(i);

    for (int n = 0; n < kMaxCallsPerInput && !r.empty(); ++n) {
        Call c;
        // Processor time, not wall time: a call is timed for its own work,
        // whatever else the machine is running.
        const std::clock_t start = std::clock();
        run_call(r, sentinel, c);
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        if (g_trace) std::fprintf(stderr, "%s;  /* %.3f s */\n", c.text, seconds);
        if (seconds > kCallLimitSeconds * c.values)
            fail("call took longer than one second per value", c.text);

        const bool in_range = c.uses_slot && c.slot >= 0 && c.slot < kSlotCount;
        if (in_range) {
            check_flags(c.slot, c.text);
            check_unchanged(c.slot - 1, c.text);
            check_unchanged(c.slot + 1, c.text);
            refresh_shadow(c.slot);
        } else {
            // No slot, or one outside 0..20: no record may change at all.
            for (int i = 0; i < kSlotCount; ++i) check_unchanged(i, c.text);
        }
        check_unchanged(sentinel, c.text);
        if (!same_view(before, view_of(sentinel)))
            fail("the sentinel slot reports different values", c.text);
    }
    for (int i = 0; i < kSlotCount; ++i) check_unchanged(i, "the end of the input");
    return 0;
}
