#pragma once

// The frames between the tool and the host that runs the device library in a process of its own, over the
// host's standard input and output.
//
// A frame is the length of its payload (4 bytes, little-endian) and the payload: a type, the request's sequence
// number (a reply carries its request's), and the fields of that type. Integers are little-endian whatever the
// host's word size, texts are a 4-byte length and the bytes. Every size has a limit, checked before anything is
// read into memory, so a reader never trusts a length it did not check. One request at a time: the tool sends a
// load or a call, the host answers it, and a reply to any other request is an error.
//
// Plain C++ with no Qt: the host, built for 32 and 64 bits, uses it too.

#include "dllsat.h"
#include "satcall.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace hostprotocol {

// A payload: the largest answer a device sends is its log, a few MiB in Base64.
constexpr std::uint32_t MaxPayload = 64u << 20;
// A text argument: the tool sends documents of up to 2 MiB.
constexpr std::uint32_t MaxArgument = 16u << 20;
constexpr std::uint32_t MaxPath = 4096;
constexpr std::uint32_t MaxError = 4096;
constexpr std::size_t MessageSize = sizeof(ErroSAT::mensagem);

enum class Type : std::uint8_t { Load = 1, Loaded = 2, Call = 3, Answer = 4 };

// The tool asks the host to load the library at path; one library per host.
struct LoadRequest {
    std::uint32_t sequence = 0;
    std::string path;
};

struct LoadReply {
    std::uint32_t sequence = 0;
    bool loaded = false;
    std::string error; // the loader's own words when it did not load
    std::uint32_t functions = 0; // bit n: the library has the function SatFunction(n)
    bool hasErrorRecord = false; // it has CodigoErro
    bool isEmulator = false; // it is this project's emulator
};

struct CallRequest {
    std::uint32_t sequence = 0;
    SatCall call;
};

enum class AnswerStatus : std::uint8_t {
    Answered = 0,
    NullAnswer = 1, // the function returned a null pointer
    MissingFunction = 2, // the library has no such function: nothing was called
    NotLoaded = 3, // no library was loaded: nothing was called
    TooLong = 4, // the answer is longer than a frame may be
};

struct CallReply {
    std::uint32_t sequence = 0;
    AnswerStatus status = AnswerStatus::Answered;
    bool hasRecord = false; // CodigoErro was called right after the function
    std::int32_t code = 0;
    std::string message; // the record's message field, all of its bytes
    std::string answer;
};

// Whole frames, length included.
std::string encode(const LoadRequest& request);
std::string encode(const LoadReply& reply);
std::string encode(const CallRequest& request);
std::string encode(const CallReply& reply);

// The type of a payload, false when it has none.
bool typeOf(const std::string& payload, Type& type);

// Each reads a whole payload of its type; false when the payload is of another type, short, long, or holds a
// value out of its limits. What is read into the output is then unspecified.
bool decode(const std::string& payload, LoadRequest& request);
bool decode(const std::string& payload, LoadReply& reply);
bool decode(const std::string& payload, CallRequest& request);
bool decode(const std::string& payload, CallReply& reply);

// Cuts frames out of a byte stream as its bytes arrive.
class FrameReader {
public:
    enum class Status { NeedMore, Frame, Error };

    void append(const char* bytes, std::size_t length);
    // The next whole payload. After an Error the stream is lost: the reader stays in error.
    Status next(std::string& payload);
    // Bytes received and not yet returned in a frame.
    std::size_t pending() const { return buffer.size() - offset; }
    bool failed() const { return broken; }

private:
    std::string buffer;
    std::size_t offset = 0;
    bool broken = false;
};

} // namespace hostprotocol
