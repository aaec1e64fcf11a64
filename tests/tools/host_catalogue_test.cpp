// The hosts' type catalogue (interface/types.json, read through kvzcalc's
// types()) against the library's own: the class and what each type offers, as
// the library's catalogue tables and its answers show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "interface/catalogue.h"
#include "kvz_comp.h"
#include "kvz_comp_fit.h"
#include "session.h"
#include "types.h"

namespace {

using kvzcalc::Offered;
using kvzcalc::TypeInfo;

constexpr int kSlot = 3;

// The type with its example inputs, untruncated.
kvzcalc::Request example(const TypeInfo& t) {
    kvzcalc::Request r;
    r.type = &t;
    r.values = t.example;
    return r;
}

TEST(HostCatalogue, ListsEveryAssignedCodeOnceWithDistinctNames) {
    std::vector<int> codes;
    std::set<std::string> names;
    std::size_t name_count = 0;
    for (const TypeInfo& t : kvzcalc::types()) {
        codes.push_back(t.code);
        names.insert(t.name);
        names.insert(t.aliases.begin(), t.aliases.end());
        name_count += 1 + t.aliases.size();
    }
    std::vector<int> assigned;
    for (int c = 1; c < kvz::kTypeCodes; ++c)
        if (c != 5 && c != 32 && c != 33) assigned.push_back(c);
    EXPECT_EQ(codes, assigned);
    EXPECT_EQ(names.size(), name_count);
}

TEST(HostCatalogue, ClassAndStatisticsFollowTheLibrarysTypeTable) {
    for (const TypeInfo& t : kvzcalc::types()) {
        SCOPED_TRACE(t.name);
        const kvz::TypeRow row = kvz::type_row(kvz::kInitialiseAlias(t.code));
        // dinitialise has a routine exactly for the types with statistics and a cumulative.
        EXPECT_EQ(t.statistics, row.initialised ? Offered::always : Offered::never);
        EXPECT_EQ(t.cdf, row.initialised ? Offered::always : Offered::never);
        if (row.initialised) {
            EXPECT_EQ(t.discrete, row.dclass == 2);
        }
        // An open support ends where the library's working range does, which it calls a bound.
        if (t.open_above) {
            EXPECT_TRUE(t.discrete && row.max_exists == kvz::Bit::set);
        }
    }
}

TEST(HostCatalogue, ClassIsTheOneTheLibraryReports) {
    for (const TypeInfo& t : kvzcalc::types()) {
        if (t.statistics == Offered::never) continue;
        SCOPED_TRACE(t.name);
        const kvzcalc::Session session(example(t), kSlot);
        EXPECT_EQ(t.discrete, get_pdf_dclass(kSlot) == 2);
    }
}

TEST(HostCatalogue, QuantilesAreOfferedWhereTheUntruncatedInverseAnswers) {
    for (const TypeInfo& t : kvzcalc::types()) {
        if (t.quantile == Offered::never) continue;
        SCOPED_TRACE(t.name);
        const kvzcalc::Session session(example(t), kSlot);
        // No example has its upper quartile at 0, so the 0.0 of an inverse without a case stands out.
        const double quartile = get_pdf_g(kSlot, 0.75);
        EXPECT_EQ(t.quantile == Offered::always, quartile != 0.0) << quartile;
    }
}

TEST(HostCatalogue, VariatesAreOfferedWhereTheUntruncatedSlotDraws) {
    for (const TypeInfo& t : kvzcalc::types()) {
        SCOPED_TRACE(t.name);
        kvzcalc::Session session(example(t), kSlot);
        session.prepare_sampling(0, 17);
        std::vector<double> draws;
        session.draw(draws, 32);
        const bool draws_something = std::any_of(draws.begin(), draws.end(), [](double v) { return v != 0.0; });
        EXPECT_EQ(t.sample == Offered::always, draws_something);
        // A type without a sampling method of its own draws once truncated, if it is initialised.
        if (t.sample != Offered::always) {
            const bool initialised = kvz::type_row(kvz::kInitialiseAlias(t.code)).initialised;
            EXPECT_EQ(t.sample, initialised ? Offered::when_truncated : Offered::never);
        }
    }
}

TEST(HostCatalogue, FitColumnFollowsTheTypesTheLibraryFitsAs) {
    for (const TypeInfo& t : kvzcalc::types()) {
        SCOPED_TRACE(t.name);
        const int as = kvz::kFitAs(t.code);
        if (as == 0) {
            EXPECT_EQ(t.fit_as, "");
            EXPECT_EQ(fit_pdf_work_size(t.code, 100), 0u);
            continue;
        }
        const TypeInfo* base = kvzcalc::find_type(std::to_string(as));
        ASSERT_NE(base, nullptr);
        EXPECT_EQ(t.fit_as, base->name);
        EXPECT_TRUE(base->fitted_alone());
        EXPECT_GT(fit_pdf_work_size(t.code, 100), 0u);
    }
}

TEST(HostCatalogue, EveryRefusalOfAFitHasItsOwnMessage) {
    std::set<std::string> messages;
    for (int code : {KVZ_FIT_NULL_ARRAY, KVZ_FIT_BAD_SLOT, KVZ_FIT_NO_DENSITY, KVZ_FIT_TOO_FEW, KVZ_FIT_NOT_FINITE,
                     KVZ_FIT_OUTSIDE_SUPPORT, KVZ_FIT_SMALL_WORKSPACE, KVZ_FIT_NO_CONVERGENCE}) {
        const std::string message = kvzcalc::fit_refusal(code);
        EXPECT_EQ(message.find("(code "), std::string::npos) << code;
        messages.insert(message);
    }
    EXPECT_EQ(messages.size(), 8u);
}

TEST(HostCatalogue, EveryExampleLiesInsideItsDomain) {
    for (const TypeInfo& t : kvzcalc::types()) {
        EXPECT_EQ(kvzcalc::domain_error(t, t.example), std::nullopt) << t.name;
        for (std::size_t i : t.inputs) EXPECT_TRUE(t.example[i].has_value()) << t.name;
    }
}

}  // namespace
