// Titles come from any server: two of them, split at the first newline, are
// folded, read for their model tokens and kind, and compared.
#include <algorithm>

#include "history/Market.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = std::min(input.find('\n'), input.size());
    const std::string_view titleA = input.substr(0, cut);
    const std::string_view titleB = input.substr(std::min(cut + 1, input.size()));

    const TitleFacts a = ReadTitle(titleA);
    const TitleFacts b = ReadTitle(titleB);
    FUZZ_CHECK(a.key == TitleKey(titleA));
    FUZZ_CHECK(std::is_sorted(a.grams.begin(), a.grams.end()));
    FUZZ_CHECK(std::adjacent_find(a.grams.begin(), a.grams.end()) == a.grams.end());
    for (const std::vector<std::string>* tokens : {&a.model.codes, &a.model.capacities, &a.model.sizes})
        for (const std::string& t : *tokens)
            FUZZ_CHECK(t.find_first_of("0123456789") != std::string::npos);

    FUZZ_CHECK(Comparable(a, a));
    FUZZ_CHECK(Comparable(a, b) == Comparable(b, a));
    const double ab = TitleSimilarity(a, b);
    const double ba = TitleSimilarity(b, a);
    FUZZ_CHECK(ab >= 0 && ab <= 1 && ab == ba);
    FUZZ_CHECK(Alike(a, b, ab) == Alike(b, a, ab));
    FUZZ_CHECK(Alike(a, b, ab) == !WhyNotAlike(a, b, ab).has_value());
    FUZZ_CHECK(a.grams.empty() || TitleSimilarity(a, a) == 1);
    std::vector<double> weights;
    for (std::size_t i = 0; i < a.grams.size(); ++i)
        weights.push_back(GramWeight(static_cast<std::int64_t>(i), 1000));
    const double weighted = TrigramSimilarity(a.grams, weights, b.grams, {});
    FUZZ_CHECK(weighted >= 0 && weighted <= 1);
    return 0;
}
