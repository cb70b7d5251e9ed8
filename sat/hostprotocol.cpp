#include "hostprotocol.h"

#include <cstring>

namespace hostprotocol {

namespace {

constexpr std::size_t MaxArguments = 8;

class Writer {
public:
    Writer(Type type, std::uint32_t sequence)
    {
        u32(0); // the length, set by frame()
        u8(static_cast<std::uint8_t>(type));
        u32(sequence);
    }

    void u8(std::uint8_t value) { bytes.push_back(static_cast<char>(value)); }
    void u32(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
            u8(static_cast<std::uint8_t>(value >> shift));
    }
    void text(const std::string& value)
    {
        u32(static_cast<std::uint32_t>(value.size()));
        bytes += value;
    }
    void raw(const std::string& value) { bytes += value; }

    std::string frame()
    {
        const std::uint32_t length = static_cast<std::uint32_t>(bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>(length >> (8 * i));
        return std::move(bytes);
    }

private:
    std::string bytes;
};

class Reader {
public:
    Reader(const std::string& payload, Type expected, std::uint32_t& sequence)
        : data(payload)
    {
        std::uint8_t type = 0;
        ok = u8(type) && type == static_cast<std::uint8_t>(expected) && u32(sequence);
    }

    bool u8(std::uint8_t& value)
    {
        if (!ok || data.size() - at < 1)
            return ok = false;
        value = static_cast<std::uint8_t>(data[at++]);
        return true;
    }
    bool flag(bool& value)
    {
        std::uint8_t byte = 0;
        if (!u8(byte) || byte > 1)
            return ok = false;
        value = byte == 1;
        return true;
    }
    bool u32(std::uint32_t& value)
    {
        if (!ok || data.size() - at < 4)
            return ok = false;
        value = 0;
        for (int i = 0; i < 4; ++i)
            value |= std::uint32_t(static_cast<std::uint8_t>(data[at++])) << (8 * i);
        return true;
    }
    bool i32(std::int32_t& value)
    {
        std::uint32_t bits = 0;
        if (!u32(bits))
            return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }
    bool text(std::string& value, std::uint32_t limit)
    {
        std::uint32_t length = 0;
        if (!u32(length) || length > limit || data.size() - at < length)
            return ok = false;
        value.assign(data, at, length);
        at += length;
        return true;
    }
    bool raw(std::string& value, std::size_t length)
    {
        if (!ok || data.size() - at < length)
            return ok = false;
        value.assign(data, at, length);
        at += length;
        return true;
    }
    // Every byte read, nothing left over.
    bool done() const { return ok && at == data.size(); }

private:
    const std::string& data;
    std::size_t at = 0;
    bool ok = true;
};

} // namespace

std::string encode(const LoadRequest& request)
{
    Writer writer(Type::Load, request.sequence);
    writer.text(request.path);
    return writer.frame();
}

std::string encode(const LoadReply& reply)
{
    Writer writer(Type::Loaded, reply.sequence);
    writer.u8(reply.loaded);
    writer.text(reply.error.substr(0, MaxError));
    writer.u32(reply.functions);
    writer.u8(reply.hasErrorRecord);
    writer.u8(reply.isEmulator);
    return writer.frame();
}

std::string encode(const CallRequest& request)
{
    Writer writer(Type::Call, request.sequence);
    writer.u8(static_cast<std::uint8_t>(request.call.function));
    writer.u8(static_cast<std::uint8_t>(request.call.arguments.size()));
    for (const SatArgument& argument : request.call.arguments) {
        writer.u8(argument.isText);
        if (argument.isText)
            writer.text(argument.text);
        else
            writer.u32(static_cast<std::uint32_t>(argument.number));
    }
    return writer.frame();
}

std::string encode(const CallReply& reply)
{
    Writer writer(Type::Answer, reply.sequence);
    writer.u8(static_cast<std::uint8_t>(reply.status));
    writer.u8(reply.hasRecord);
    writer.u32(static_cast<std::uint32_t>(reply.code));
    std::string message = reply.message.substr(0, MessageSize);
    message.resize(MessageSize, '\0');
    writer.raw(message);
    writer.text(reply.answer);
    return writer.frame();
}

bool typeOf(const std::string& payload, Type& type)
{
    if (payload.empty())
        return false;
    const auto value = static_cast<std::uint8_t>(payload[0]);
    if (value < static_cast<std::uint8_t>(Type::Load) || value > static_cast<std::uint8_t>(Type::Answer))
        return false;
    type = static_cast<Type>(value);
    return true;
}

bool decode(const std::string& payload, LoadRequest& request)
{
    Reader reader(payload, Type::Load, request.sequence);
    return reader.text(request.path, MaxPath) && request.path.find('\0') == std::string::npos && reader.done();
}

bool decode(const std::string& payload, LoadReply& reply)
{
    Reader reader(payload, Type::Loaded, reply.sequence);
    return reader.flag(reply.loaded) && reader.text(reply.error, MaxError) && reader.u32(reply.functions)
        && reader.flag(reply.hasErrorRecord) && reader.flag(reply.isEmulator) && reader.done();
}

bool decode(const std::string& payload, CallRequest& request)
{
    Reader reader(payload, Type::Call, request.sequence);
    std::uint8_t function = 0;
    std::uint8_t count = 0;
    if (!reader.u8(function) || function >= SatFunctionCount || !reader.u8(count) || count > MaxArguments)
        return false;
    request.call.function = static_cast<SatFunction>(function);
    request.call.arguments.assign(count, SatArgument());
    for (SatArgument& argument : request.call.arguments) {
        if (!reader.flag(argument.isText))
            return false;
        if (argument.isText) {
            // A C string ends at its first NUL: one inside would send less than was asked.
            if (!reader.text(argument.text, MaxArgument) || argument.text.find('\0') != std::string::npos)
                return false;
        } else if (!reader.i32(argument.number)) {
            return false;
        }
    }
    return reader.done() && request.call.isWellFormed();
}

bool decode(const std::string& payload, CallReply& reply)
{
    Reader reader(payload, Type::Answer, reply.sequence);
    std::uint8_t status = 0;
    if (!reader.u8(status) || status > static_cast<std::uint8_t>(AnswerStatus::TooLong))
        return false;
    reply.status = static_cast<AnswerStatus>(status);
    return reader.flag(reply.hasRecord) && reader.i32(reply.code) && reader.raw(reply.message, MessageSize)
        && reader.text(reply.answer, MaxPayload) && reader.done();
}

void FrameReader::append(const char* bytes, std::size_t length)
{
    if (broken)
        return;
    // Drop what was already handed out before the buffer grows.
    if (offset > 0 && offset == buffer.size()) {
        buffer.clear();
        offset = 0;
    } else if (offset > (1u << 20)) {
        buffer.erase(0, offset);
        offset = 0;
    }
    buffer.append(bytes, length);
}

FrameReader::Status FrameReader::next(std::string& payload)
{
    if (broken)
        return Status::Error;
    if (pending() < 4)
        return Status::NeedMore;
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= std::uint32_t(static_cast<std::uint8_t>(buffer[offset + i])) << (8 * i);
    if (length == 0 || length > MaxPayload) {
        broken = true;
        return Status::Error;
    }
    if (pending() - 4 < length)
        return Status::NeedMore;
    payload.assign(buffer, offset + 4, length);
    offset += 4 + length;
    return Status::Frame;
}

} // namespace hostprotocol
