// The function table: every module attribute in registration order. Each row
// names the function, its parameters (kind and default) and its routine; the
// binding engine derives arguments, errors and text signatures from it.
#include "catch22/dn_outlierinclude.hpp"
#include "catch22/dn_spread_std.hpp"
#include "module/results.hpp"
#include "module/table.hpp"

namespace quorlex::module {

namespace {

using namespace table;

std::vector<Entry> build_table() {
    return {
        result_class(ResultClass::catch22),
        result_class(ResultClass::cumulative),
        // -- catch22 (rows 1-23) --
        function("dn_spread_std_f", feature<&catch22::dn_spread_std>, {y}),
        function("dn_outlierinclude_p_001_mdrmd_f", feature<&catch22::dn_outlierinclude_p_001_mdrmd>, {y, normalize(true)}),
        function("dn_outlierinclude_n_001_mdrmd_f", feature<&catch22::dn_outlierinclude_n_001_mdrmd>, {y, normalize(true)}),
        // -- catchaMouse16 (rows 24-41; rows 33-35 are catch22 histogram settings) --
        result_class(ResultClass::tsfeatures),
        // -- tsfeatures (rows 42-54) --
        // -- hctsa (rows 55-72) --
        result_class(ResultClass::combined),
        // -- combined (rows 73-74) --
    };
}

}  // namespace

std::span<const Entry> module_table() {
    static const std::vector<Entry> entries = build_table();
    return entries;
}

}  // namespace quorlex::module
