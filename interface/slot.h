// The distribution record and the slot table.
#pragma once

#include <cstdint>

namespace kvz {

constexpr int kSlotCount = 21;
constexpr int kTableSize = 2000;
// Buckets of equal width in probability over [0, 1) in the guide of a
// cumulative table (a power of two, so that u times it is exact).
constexpr int kGuideBuckets = 4096;

using Flag = std::uint8_t;  // written by the library as 0 or 1

// The inputs a walk over a discrete slot's masses reads (see mass_walk_key):
// the parameters of the mass, its rescaling and the ends of the walk.
constexpr int kMassKeySize = 22;

// Checkpoints of one running sum of masses, as a walk over them formed it:
// the sum after every `stride`-th mass from `origin` (stepping up, or down
// for a walk downward), so that a later walk can take up the same sum at a
// checkpoint instead of repeating the additions before it (the mass at a
// checkpoint, which some stop rules compare with the next, is formed again). Valid while `ready` is set and `key` still holds the slot's inputs.
// When the entries are used up, every other one goes and the stride doubles.
template <int Capacity>
struct MassCheckpoints {
    static constexpr int kCapacity = Capacity;
    Flag ready;
    // Set once the walk recorded here ended by its own rules (its sum no
    // longer changes): end_value is the last value it walked, end_sum its sum.
    Flag ended;
    // Set once recording stopped short (a mass that is negative or not a
    // number, after which the sums need not keep their order).
    Flag frozen;
    int count;
    double key[kMassKeySize];
    double origin;
    double stride;
    double end_value;
    double end_sum;
    // The whole numbers the walk may cover, as the inputs in `key` give them.
    double range_first;
    double range_last;
    double sum[Capacity];
    // The mass the walk added (or took off) last to reach each entry, rounded
    // to float. Only a starting point for estimating the masses next to an
    // entry by their ratios (a bound on the estimate's error decides whether
    // it is used), so float's 24 bits are plenty at half the storage.
    float mass[Capacity];
};
// A guide to checkpoints whose sums precalc no longer changes: the walk's
// sums mapped onto kCheckpointGuideBuckets buckets of equal width, by
// (sum − origin) × scale (scale negative for a walk whose sums fall, so that
// the buckets follow the walk's order), and first[j] counting the entries in
// the buckets before j. The entries a u in bucket j can lie between are then
// first[j] .. first[j + 1]. Valid while `ready` is set and the checkpoints
// still hold `count` entries.
constexpr int kCheckpointGuideBuckets = 2048;
struct CheckpointGuide {
    Flag ready;
    int count;
    double origin;
    double scale;
    std::uint16_t first[kCheckpointGuideBuckets + 1];
};

// Checkpoints per direction of the walks of a discrete draw beyond its table,
// and of the sums behind get_pdf_f.
constexpr int kDrawCheckpoints = 2048;
constexpr int kSumCheckpoints = 512;

// The tail a truncation measures its masses from (the field t_tail).
enum TailSide : int { kNoTail = 0, kLowerTail = 1, kUpperTail = 2 };

// One slot: inputs, derived statistics, working values and the sampling
// tables, in record order. Plain data, fixed size, no pointers.
struct DistSlot {
    int dtype;
    int sample_type;
    int dclass;
    Flag cdf_exists;
    Flag inv_exists;
    Flag min_exists;
    Flag max_exists;
    Flag avg_exists;
    Flag var_exists;
    Flag mod_exists;
    Flag med_exists;
    Flag skw_exists;
    Flag krt_exists;
    double mean;
    double lmean;
    double mode;
    double median;
    double variance;
    double stdev;
    double lstdev;
    double minimum;
    double maximum;
    double scale;
    double shape_a;
    double shape_b;
    int n;
    double p;
    double pop;
    double popsuc;
    double sam;
    Flag t_min_flag;
    Flag t_max_flag;
    int moment_method;
    double t_min;
    double t_max;
    double t_pbelow;
    double t_factor;
    double gamma_norm;
    double beta_norm;
    double range;
    double dminimum;
    double dmaximum;
    double dmean;
    double dmode;
    double dmedian;
    double dvariance;
    double dstdev;
    double dskewness;
    double dkurtosis;
    double sample_c1;
    double sample_c2;
    double sample_c3;
    double step_low;
    double step_high;
    int table_count;
    double table_x[kTableSize];
    double table_p[kTableSize];
    Flag pmin_extend;
    Flag pmax_extend;
    // Set by precalc when table_p of a discrete table never decreases, so a
    // draw may find its entry by bisection instead of a scan.
    Flag table_ordered;
    // Set by dinitialise once a truncation has been measured and rescales the
    // distribution: from then on values outside the cut have no mass.
    Flag cut_in_force;
    // Set by the truncation step when both cuts lie in one tail of a type
    // whose tail has a logarithm (kLowerTail, kUpperTail; kNoTail otherwise):
    // the truncated density and cumulative distribution are then formed from
    // that tail, from the logarithms of the tail at t_min (-infinity without
    // a cut there) and of the mass kept. t_factor and t_pbelow still hold the
    // factor and the mass below, for reading only.
    int t_tail;
    double t_log_tail_min;
    double t_log_kept;
    // Set by precalc, cleared by dinitialise: the slot's tables belong to its
    // current inputs, as a draw across several slots requires.
    Flag prepared;
    // The parts of the exponential power density that do not depend on x:
    // the exponent 2/a and the factors 2^(a/2 + 1) and Γ(a/2 + 1), for the
    // shape in power_norm_shape (stored by dinitialise). The density works
    // them out afresh for a slot without them or with another shape.
    Flag power_norm_set;
    double power_norm_shape;
    double power_norm_exponent;
    double power_norm_two;
    double power_norm_gamma;
    // ln Γ(a) of the gamma type for the shape in gamma_log_shape (stored by
    // dinitialise), which every cumulative probability needs.
    Flag gamma_log_set;
    double gamma_log_shape;
    double gamma_log;
    // Guide to the cumulative table: table_guide[j] counts the entries of
    // table_p not above j / kGuideBuckets, so the entries a u in bucket j
    // can lie between are found in one step. Valid while guide_ready is set
    // and the table still holds guide_count entries; built by precalc and
    // after every extension, only for a table that never decreases.
    Flag guide_ready;
    int guide_count;
    std::uint16_t table_guide[kGuideBuckets + 1];
    // The walks of a discrete draw beyond its table's two ends, recorded by
    // precalc as far as a uniform of the generator reaches.
    MassCheckpoints<kDrawCheckpoints> walk_above;
    MassCheckpoints<kDrawCheckpoints> walk_below;
    CheckpointGuide walk_above_guide;
    CheckpointGuide walk_below_guide;
    // The sum of masses behind the cumulative probability the host asks
    // for, recorded as its calls walk it; cleared by dinitialise.
    MassCheckpoints<kSumCheckpoints> sum_checkpoints;
};

// The record of a slot index, or nullptr when the index lies outside 0..20.
DistSlot* slot_at(int index);

}  // namespace kvz
