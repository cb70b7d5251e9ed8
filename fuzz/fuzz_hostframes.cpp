// The frames between the tool and the library's host, as the tool reads what a host sends: whatever the bytes and
// however they are cut into reads, the reader never trusts a length it did not check, and every payload that
// decodes encodes back to the very same payload.
#include "hostprotocol.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace hostprotocol;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <typename Message> void roundTrip(const std::string& payload)
{
    Message message;
    if (!decode(payload, message))
        return;
    const std::string frame = encode(message);
    check(frame.size() == payload.size() + 4);
    check(frame.compare(4, std::string::npos, payload) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte sets how the stream is cut into reads, as a pipe may deliver it in any pieces.
    const std::size_t piece = data[0] % 64 + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const std::size_t length = size - 1;

    FrameReader reader;
    std::string payload;
    std::size_t fed = 0;
    std::size_t taken = 0;
    while (fed < length) {
        const std::size_t now = piece < length - fed ? piece : length - fed;
        reader.append(bytes + fed, now);
        fed += now;
        FrameReader::Status status;
        while ((status = reader.next(payload)) == FrameReader::Status::Frame) {
            check(!payload.empty() && payload.size() <= MaxPayload);
            taken += payload.size() + 4;
            roundTrip<LoadRequest>(payload);
            roundTrip<LoadReply>(payload);
            roundTrip<CallRequest>(payload);
            roundTrip<CallReply>(payload);
        }
        if (status == FrameReader::Status::Error) {
            check(reader.failed());
            return 0;
        }
        check(taken + reader.pending() == fed);
    }
    return 0;
}
