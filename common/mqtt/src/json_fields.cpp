// SPDX-License-Identifier: MIT
// A reader of one JSON object's top-level fields, written for hostile publishers: one pass over
// the text, a stack of its own for nesting (no recursion, so no depth can overflow the thread's
// stack), nested values sliced from the payload rather than built into a tree.

#include <pixtera/mqtt/payload_values.h>
#include <pixtera/platform/codepage.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <unordered_map>

namespace pixtera::mqtt {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

// The payload's text with a position; every Read... returns false on the first ill-formed byte.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    std::size_t at() const { return at_; }
    bool AtEnd() const { return at_ == text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
    std::string_view Since(std::size_t start) const { return text_.substr(start, at_ - start); }

    void SkipBlanks()
    {
        while (!AtEnd() && Blank(text_[at_]))
            ++at_;
    }
    bool Take(char wanted)
    {
        if (AtEnd() || text_[at_] != wanted)
            return false;
        ++at_;
        return true;
    }

    // A string at '"', its text unescaped into `out` when given.
    bool ReadString(std::string* out)
    {
        if (!Take('"'))
            return false;
        for (;;) {
            const std::size_t run = at_;
            bool ascii = true;
            for (; !AtEnd() && text_[at_] != '"' && text_[at_] != '\\'; ++at_) {
                const auto byte = static_cast<unsigned char>(text_[at_]);
                if (byte < 0x20)
                    break;
                ascii = ascii && byte < 0x80;
            }
            const std::string_view plain = Since(run);
            if (!ascii && FindInvalidUtf8(plain) != std::string_view::npos)
                return false;
            if (out)
                out->append(plain);
            if (Take('"'))
                return true;
            if (!Take('\\') || !ReadEscape(out))
                return false; // the end, a control character or a broken escape
        }
    }

    // A number's text by JSON's grammar: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    bool ReadNumber()
    {
        Take('-');
        if (!Take('0') && !Digits())
            return false;
        if (Take('.') && !Digits())
            return false;
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return false;
        }
        return true;
    }

    bool ReadWord(std::string_view word)
    {
        if (text_.substr(at_, word.size()) != word)
            return false;
        at_ += word.size();
        return true;
    }

    // Any value, objects and arrays as deep as they come, with an explicit stack of what closes them.
    bool SkipValue()
    {
        std::string closers;
        for (;;) {
            SkipBlanks();
            if (Take('{')) {
                SkipBlanks();
                if (!Take('}')) {
                    closers += '}';
                    if (!ReadMemberName())
                        return false;
                    continue;
                }
            } else if (Take('[')) {
                SkipBlanks();
                if (!Take(']')) {
                    closers += ']';
                    continue;
                }
            } else if (!SkipScalar()) {
                return false;
            }
            // A value ended: what follows it closes its containers or starts the next one.
            for (;;) {
                if (closers.empty())
                    return true;
                SkipBlanks();
                if (Take(closers.back())) {
                    closers.pop_back();
                    continue;
                }
                if (!Take(','))
                    return false;
                if (closers.back() == '}' && !ReadMemberName())
                    return false;
                break;
            }
        }
    }

    // `"name" :` of an object's member, blanks around it.
    bool ReadMemberName(std::string* name = nullptr)
    {
        SkipBlanks();
        if (!ReadString(name))
            return false;
        SkipBlanks();
        return Take(':');
    }

private:
    bool Digits()
    {
        const std::size_t start = at_;
        while (!AtEnd() && Digit(text_[at_]))
            ++at_;
        return at_ > start;
    }

    std::optional<char32_t> ReadHex4()
    {
        if (text_.size() - at_ < 4)
            return std::nullopt;
        unsigned unit = 0;
        const char* first = text_.data() + at_;
        const auto [end, error] = std::from_chars(first, first + 4, unit, 16);
        if (error != std::errc() || end != first + 4)
            return std::nullopt;
        at_ += 4;
        return unit;
    }

    // After a backslash: one escape, surrogate pairs joined, lone surrogates refused.
    bool ReadEscape(std::string* out)
    {
        if (AtEnd())
            return false;
        const char c = text_[at_++];
        char32_t cp = 0;
        switch (c) {
        case '"': cp = '"'; break;
        case '\\': cp = '\\'; break;
        case '/': cp = '/'; break;
        case 'b': cp = '\b'; break;
        case 'f': cp = '\f'; break;
        case 'n': cp = '\n'; break;
        case 'r': cp = '\r'; break;
        case 't': cp = '\t'; break;
        case 'u': {
            const auto unit = ReadHex4();
            if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF))
                return false;
            cp = *unit;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (!ReadWord("\\u"))
                    return false;
                const auto low = ReadHex4();
                if (!low || *low < 0xDC00 || *low > 0xDFFF)
                    return false;
                cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
            }
            break;
        }
        default: return false;
        }
        if (out)
            AppendUtf8(*out, cp);
        return true;
    }

    bool SkipScalar()
    {
        switch (Peek()) {
        case '"': return ReadString(nullptr);
        case 't': return ReadWord("true");
        case 'f': return ReadWord("false");
        case 'n': return ReadWord("null");
        default: return ReadNumber();
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// from_chars: the same number whatever the locale; one a double cannot hold stays its text.
Value NumberValue(std::string_view text)
{
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc() && end == text.data() + text.size() && std::isfinite(number))
        return number;
    return std::string(text);
}

// A nested value's JSON without the blanks between its tokens; nothing when longer than `longest`.
std::optional<std::string> Compact(std::string_view json, std::size_t longest)
{
    std::string compact;
    bool inString = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (!inString && Blank(c))
            continue;
        if (compact.size() == longest)
            return std::nullopt;
        compact += c;
        if (inString && c == '\\') {
            if (compact.size() == longest)
                return std::nullopt;
            compact += json[++i]; // well-formed: an escape always has its second character
        } else if (c == '"') {
            inString = !inString;
        }
    }
    return compact;
}

// One member's value at the cursor: nothing when it is ill-formed; `tooLong` for a nested value
// longer than `longestNested`.
std::optional<Value> ReadFieldValue(Cursor& cursor, std::size_t longestNested, bool& tooLong)
{
    const std::size_t start = cursor.at();
    tooLong = false;
    switch (cursor.Peek()) {
    case '"': {
        std::string text;
        return cursor.ReadString(&text) ? std::optional<Value>(std::move(text)) : std::nullopt;
    }
    case 't': return cursor.ReadWord("true") ? std::optional<Value>(1.0) : std::nullopt;
    case 'f': return cursor.ReadWord("false") ? std::optional<Value>(0.0) : std::nullopt;
    case 'n': return cursor.ReadWord("null") ? std::optional<Value>(std::string()) : std::nullopt;
    case '{':
    case '[': {
        if (!cursor.SkipValue())
            return std::nullopt;
        auto compact = Compact(cursor.Since(start), longestNested);
        tooLong = !compact;
        return Value(compact ? std::move(*compact) : std::string());
    }
    default: return cursor.ReadNumber() ? std::optional<Value>(NumberValue(cursor.Since(start))) : std::nullopt;
    }
}

JsonFields Refused(JsonFields::Verdict why)
{
    JsonFields refused;
    refused.verdict = why;
    return refused;
}

} // namespace

JsonFields ReadJsonFields(std::string_view payload, const JsonLimits& limits)
{
    using Verdict = JsonFields::Verdict;
    Cursor cursor(payload);
    cursor.SkipBlanks();
    if (!cursor.Take('{'))
        return {};
    if (payload.size() > limits.longestPayload)
        return Refused(Verdict::TooLong);
    // Each name in the order it first came, with its last value; none when that one was left out.
    std::vector<std::pair<std::string, std::optional<Value>>> members;
    std::unordered_map<std::string, std::size_t> index; // a name's place in `members`
    std::size_t count = 0;
    std::size_t leftOut = 0;
    cursor.SkipBlanks();
    if (!cursor.Take('}')) {
        do {
            if (++count > limits.mostFields)
                return Refused(Verdict::TooManyFields);
            std::string name;
            if (!cursor.ReadMemberName(&name))
                return {};
            cursor.SkipBlanks();
            bool tooLong = false;
            auto value = ReadFieldValue(cursor, limits.longestNested, tooLong);
            if (!value)
                return {};
            if (tooLong) {
                ++leftOut;
                value.reset();
            }
            const auto [place, isNew] = index.try_emplace(name, members.size());
            if (isNew)
                members.emplace_back(std::move(name), std::move(value));
            else
                members[place->second].second = std::move(value);
            cursor.SkipBlanks();
        } while (cursor.Take(','));
        if (!cursor.Take('}'))
            return {};
    }
    cursor.SkipBlanks();
    if (!cursor.AtEnd())
        return {};
    JsonFields result{Verdict::Read, {}, leftOut};
    for (auto& [name, value] : members) {
        if (value)
            result.fields.emplace_back(std::move(name), std::move(*value));
    }
    return result;
}

} // namespace pixtera::mqtt
