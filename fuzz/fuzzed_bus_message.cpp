// SPDX-License-Identifier: MIT
#include "fuzzed_bus_message.h"

#include <array>
#include <cstring>
#include <string>
#include <vector>

// The library makes messages without a bus for its variants; its 1.2 headers do not declare it.
namespace sdbus {
PlainMessage createPlainMessage();
} // namespace sdbus

namespace pixtera::fuzz {
namespace {

// Texts the readers look for, so that the fuzzer reaches past the first comparison.
constexpr std::array<const char*, 24> kWords{
    "org.mpris.MediaPlayer2.Player",
    "org.mpris.MediaPlayer2.vlc",
    "org.mpris.MediaPlayer2",
    "Metadata",
    "PlaybackStatus",
    "Position",
    "Rate",
    "Identity",
    "xesam:title",
    "xesam:artist",
    "xesam:album",
    "mpris:length",
    "Playing",
    "Paused",
    "Stopped",
    ":1.1",
    "",
    "org.freedesktop.login1.Session",
    "org.freedesktop.login1.Manager",
    "IdleHint",
    "LockedHint",
    "Active",
    "org.pixtera.Service",
    "org.kde.StatusNotifierWatcher",
};
constexpr std::array<const char*, 3> kPaths{"/", "/org/mpris/MediaPlayer2", "/org/freedesktop/login1/session/_31"};
constexpr std::array<const char*, 5> kSignatures{"", "s", "x", "a{sv}", "sa{sv}as"};
constexpr char kBasic[] = "sixutdbynog";
constexpr std::size_t kBasicCount = sizeof kBasic - 1;

class Bytes {
public:
    explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint8_t Next() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }
    template <class T>
    T Number()
    {
        std::array<std::uint8_t, sizeof(T)> raw{};
        for (auto& byte : raw)
            byte = Next();
        T value;
        std::memcpy(&value, raw.data(), sizeof value);
        return value;
    }
    std::string Text()
    {
        const std::uint8_t choice = Next();
        if (choice < 128)
            return kWords[choice % kWords.size()];
        std::string text(Next() % 32, ' ');
        for (char& c : text)
            c = static_cast<char>(0x20 + Next() % 0x5F); // printable, so always UTF-8
        return text;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// A type: its code, and for a container what it holds ('a': the element; 'e': a dictionary's
// key and value; 'r': a struct's members). A variant chooses its content with each value.
struct Type {
    char code;
    std::vector<Type> members;
};

std::string Signature(const Type& type)
{
    switch (type.code) {
    case 'a': return "a" + Signature(type.members[0]);
    case 'e': return "a{" + Signature(type.members[0]) + Signature(type.members[1]) + "}";
    case 'r': {
        std::string inside;
        for (const auto& member : type.members)
            inside += Signature(member);
        return "(" + inside + ")";
    }
    default: return std::string(1, type.code);
    }
}

std::string Contents(const Type& type) // a struct's or dictionary entry's signature inside its brackets
{
    const std::string whole = Signature(type);
    return type.code == 'e' ? whole.substr(2, whole.size() - 3) : whole.substr(1, whole.size() - 2);
}

Type MakeType(Bytes& bytes, int depth)
{
    const std::uint8_t choice = bytes.Next() % 16;
    if (depth >= kMaxDepth || choice < kBasicCount)
        return {kBasic[choice % kBasicCount], {}};
    switch (choice) {
    case 11: return {'v', {}};
    case 12: return {'a', {MakeType(bytes, depth + 1)}};
    case 13: return {'e', {Type{kBasic[bytes.Next() % kBasicCount], {}}, MakeType(bytes, depth + 1)}};
    case 14: {
        Type type{'r', {}};
        const int members = 1 + bytes.Next() % 4;
        for (int i = 0; i < members; ++i)
            type.members.push_back(MakeType(bytes, depth + 1));
        return type;
    }
    default: return {'s', {}};
    }
}

void WriteValue(sdbus::Message& message, const Type& type, Bytes& bytes, int depth)
{
    switch (type.code) {
    case 's': message << bytes.Text(); break;
    case 'i': message << bytes.Number<std::int32_t>(); break;
    case 'x': message << bytes.Number<std::int64_t>(); break;
    case 'u': message << bytes.Number<std::uint32_t>(); break;
    case 't': message << bytes.Number<std::uint64_t>(); break;
    case 'd': message << bytes.Number<double>(); break;
    case 'b': message << ((bytes.Next() & 1) != 0); break;
    case 'y': message << bytes.Next(); break;
    case 'n': message << bytes.Number<std::int16_t>(); break;
    case 'o': message << sdbus::ObjectPath(kPaths[bytes.Next() % kPaths.size()]); break;
    case 'g': message << sdbus::Signature(kSignatures[bytes.Next() % kSignatures.size()]); break;
    case 'v': {
        const Type inside = MakeType(bytes, depth + 1);
        message.openVariant(Signature(inside));
        WriteValue(message, inside, bytes, depth + 1);
        message.closeVariant();
        break;
    }
    case 'a': {
        message.openContainer(Signature(type.members[0]));
        for (int count = bytes.Next() % 5; count > 0; --count)
            WriteValue(message, type.members[0], bytes, depth + 1);
        message.closeContainer();
        break;
    }
    case 'e': {
        const std::string entry = Contents(type);
        message.openContainer("{" + entry + "}");
        for (int count = bytes.Next() % 5; count > 0; --count) {
            message.openDictEntry(entry);
            WriteValue(message, type.members[0], bytes, depth + 1);
            WriteValue(message, type.members[1], bytes, depth + 1);
            message.closeDictEntry();
        }
        message.closeContainer();
        break;
    }
    case 'r': {
        message.openStruct(Contents(type));
        for (const auto& member : type.members)
            WriteValue(message, member, bytes, depth + 1);
        message.closeStruct();
        break;
    }
    }
}

} // namespace

std::optional<sdbus::PlainMessage> FuzzedBusMessage(std::span<const std::uint8_t> data)
{
    Bytes bytes(data);
    auto message = sdbus::createPlainMessage();
    try {
        for (int count = bytes.Next() % 7; count > 0; --count)
            WriteValue(message, MakeType(bytes, 0), bytes, 0);
        message.seal();
    } catch (const sdbus::Error&) {
        return std::nullopt;
    }
    Rewind(message);
    return message;
}

void Rewind(sdbus::Message& message)
{
    message.rewind(true);
    message.clearFlags();
}

} // namespace pixtera::fuzz
