// libFuzzer harness for the replay reader: whatever the bytes, reading ends
// with a replay or a one-line reason, and a replay it accepts writes back to
// the same bytes. Built for fuzzing the reader skips the checksum, which is
// left out of the comparison. tools/fuzz.sh builds and runs it.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "replay/format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Replay replay;
    const std::string why = decodeReplay(data, size, replay);
    if (why.empty()) {
        const std::string again = encodeReplay(replay);
        if (again.size() != size || std::memcmp(again.data(), data, size - 4) != 0) std::abort();
    } else if (why.find('\n') != std::string::npos) {
        std::abort();
    }
    return 0;
}
