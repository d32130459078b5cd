// The sorting of a camera's answer into a result: the HTTP status from the first 2
// bytes (little-endian), the body from the rest.

#include "camapi/VantoHttpApi.h"
#include "fuzz/FuzzCheck.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const long status = long(data[0] | data[1] << 8);
    const std::string_view body(reinterpret_cast<const char *>(data + 2), size - 2);
    const API_RESULT result = ClassifyResponse(status, body);
    FUZZ_CHECK(result.nCode == API_SUCCESS || result.nCode == API_FAIL || result.nCode == API_UNAUTHORIZED);
    FUZZ_CHECK(!result.strMessage.empty());
    FUZZ_CHECK(status != 401 || result.nCode == API_UNAUTHORIZED);
    return 0;
}
