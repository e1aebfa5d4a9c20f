#include "analysis/ConvertEucToSjis.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    std::string sjis = "x";
    ConvertEucToSjis(line, sjis);
    FUZZ_CHECK(sjis.size() <= line.size() + 1);
    FUZZ_CHECK(sjis[0] == 'x');
    return 0;
}
