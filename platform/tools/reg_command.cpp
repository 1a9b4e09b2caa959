// SPDX-License-Identifier: MIT
#include "reg_command.h"

#include <pixtera/platform/com.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/registry.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

namespace pixtera {
namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: pixtera-reg query KEY [/v NAME | /ve]\n"
    "       pixtera-reg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA]\n"
    "       pixtera-reg delete KEY [/v NAME | /ve]\n"
    "       pixtera-reg export KEY\n"
    "       pixtera-reg register MODULE\n"
    "       pixtera-reg unregister MODULE\n"
    "--machine before a command works on the machine layer, which every user reads\n"
    "KEY starts with HKCR, HKLM, HKCU or their long names, e.g. HKCR\\CLSID.\n";

struct Options {
    std::string key;
    std::optional<std::string> valueName; // set by /v NAME, or empty by /ve
    std::optional<std::string> type;
    std::optional<std::string> data;
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool IsSwitch(const std::string& argument, const char* name)
{
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-') && Lower(argument.substr(1)) == name;
}

std::string Describe(LSTATUS status)
{
    switch (status) {
    case ERROR_FILE_NOT_FOUND: return "the registry key or value does not exist";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_LOCK_VIOLATION: return "the registry is locked by another process";
    case ERROR_BADDB: return "the registry file is damaged";
    case ERROR_CANTOPEN: return "the registry file cannot be opened (" + RegistryPath().string() + ")";
    case ERROR_BAD_PATHNAME: return "the key path is malformed";
    default: return "registry error " + std::to_string(status);
    }
}

// Parses the words after the command; false (with a message) on anything unexpected.
bool ParseOptions(std::span<const std::string> words, bool allowTypeAndData, Options& options, std::ostream& err)
{
    if (words.empty()) {
        err << "pixtera-reg: a key is required\n";
        return false;
    }
    options.key = words[0];
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::string& word = words[i];
        auto next = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= words.size()) {
                err << "pixtera-reg: " << word << " needs " << what << "\n";
                return std::nullopt;
            }
            return words[++i];
        };
        if (IsSwitch(word, "ve") && !options.valueName) {
            options.valueName = "";
        } else if (IsSwitch(word, "v") && !options.valueName) {
            if (!(options.valueName = next("a value name")))
                return false;
        } else if (allowTypeAndData && IsSwitch(word, "t") && !options.type) {
            if (!(options.type = next("a type")))
                return false;
        } else if (allowTypeAndData && IsSwitch(word, "d") && !options.data) {
            if (!(options.data = next("data")))
                return false;
        } else if (IsSwitch(word, "f")) {
            // Accepted for habit's sake: nothing here asks for confirmation.
        } else {
            err << "pixtera-reg: unexpected argument '" << word << "'\n";
            return false;
        }
    }
    return true;
}

std::optional<std::vector<BYTE>> EncodeData(const std::string& type, const std::string& data, DWORD& regType,
                                            std::ostream& err)
{
    const std::string upper = [&] {
        std::string t = type;
        std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::toupper(c); });
        return t;
    }();
    if (upper == "REG_SZ") {
        regType = REG_SZ;
        std::vector<BYTE> bytes(data.begin(), data.end());
        bytes.push_back(0);
        return bytes;
    }
    if (upper == "REG_DWORD") {
        regType = REG_DWORD;
        const bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
        const char* begin = data.data() + (hex ? 2 : 0);
        const char* end = data.data() + data.size();
        DWORD value = 0;
        const auto [ptr, ec] = std::from_chars(begin, end, value, hex ? 16 : 10);
        if (data.empty() || ec != std::errc() || ptr != end) {
            err << "pixtera-reg: '" << data << "' is not a 32-bit number\n";
            return std::nullopt;
        }
        std::vector<BYTE> bytes(sizeof value);
        std::copy_n(reinterpret_cast<const BYTE*>(&value), sizeof value, bytes.begin());
        return bytes;
    }
    if (upper == "REG_BINARY") {
        regType = REG_BINARY;
        std::vector<BYTE> bytes;
        if (data.size() % 2 != 0) {
            err << "pixtera-reg: binary data needs an even number of hexadecimal digits\n";
            return std::nullopt;
        }
        for (std::size_t i = 0; i < data.size(); i += 2) {
            BYTE byte = 0;
            const auto [ptr, ec] = std::from_chars(data.data() + i, data.data() + i + 2, byte, 16);
            if (ec != std::errc() || ptr != data.data() + i + 2) {
                err << "pixtera-reg: '" << data << "' is not hexadecimal\n";
                return std::nullopt;
            }
            bytes.push_back(byte);
        }
        return bytes;
    }
    err << "pixtera-reg: unsupported type '" << type << "' (REG_SZ, REG_DWORD or REG_BINARY)\n";
    return std::nullopt;
}

std::string TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_QWORD: return "REG_QWORD";
    default: return "REG_NONE(" + std::to_string(type) + ")";
    }
}

std::string HexBytes(const std::vector<BYTE>& data, const char* separator)
{
    std::string text;
    char digits[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        if (i)
            text += separator;
        text += digits;
    }
    return text;
}

std::string TextOf(const std::vector<BYTE>& data)
{
    std::string text(data.begin(), data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::string QueryForm(const RegistryValue& value)
{
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: return TextOf(value.data);
    case REG_DWORD:
        if (value.data.size() == 4) {
            DWORD number = 0;
            std::copy_n(value.data.begin(), 4, reinterpret_cast<BYTE*>(&number));
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", number);
            return text;
        }
        [[fallthrough]];
    default: return HexBytes(value.data, "");
    }
}

std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

std::string ExportForm(const RegistryValue& value)
{
    const std::string name = value.name.empty() ? "@" : Quoted(value.name);
    switch (value.type) {
    case REG_SZ: return name + "=" + Quoted(TextOf(value.data));
    case REG_DWORD:
        if (value.data.size() == 4) {
            DWORD number = 0;
            std::copy_n(value.data.begin(), 4, reinterpret_cast<BYTE*>(&number));
            char text[16];
            std::snprintf(text, sizeof text, "dword:%08x", number);
            return name + "=" + text;
        }
        [[fallthrough]];
    case REG_BINARY: return name + "=hex:" + HexBytes(value.data, ",");
    default: return name + "=hex(" + std::to_string(value.type) + "):" + HexBytes(value.data, ",");
    }
}

struct OpenedKey {
    RegKey key;
    std::string fullPath;
};

// Opens the key named on the command line, printing why not; `failure` is the exit code then (a
// key with an unknown root is a wrong command line).
std::optional<OpenedKey> OpenNamedKey(const std::string& path, REGSAM access, bool create, std::ostream& err,
                                      int& failure)
{
    failure = kFailed;
    const auto parsed = ParseRegistryPath(path);
    if (!parsed) {
        err << "pixtera-reg: '" << path << "' does not start with HKCR, HKLM or HKCU\n";
        failure = kUsage;
        return std::nullopt;
    }
    OpenedKey opened;
    const LSTATUS status = create ? opened.key.Create(parsed->first, parsed->second, access)
                                  : opened.key.Open(parsed->first, parsed->second, access);
    if (status != ERROR_SUCCESS) {
        err << "pixtera-reg: " << path << ": " << Describe(status) << "\n";
        return std::nullopt;
    }
    opened.fullPath = std::string(RootKeyName(parsed->first)) + (parsed->second.empty() ? "" : "\\" + parsed->second);
    return opened;
}

int Query(std::span<const std::string> words, std::ostream& out, std::ostream& err)
{
    Options options;
    if (!ParseOptions(words, false, options, err))
        return kUsage;
    int failure = kFailed;
    auto opened = OpenNamedKey(options.key, KEY_READ, false, err, failure);
    if (!opened)
        return failure;
    out << opened->fullPath << "\n";
    auto print = [&](const RegistryValue& v) {
        out << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << TypeName(v.type) << "    " << QueryForm(v)
            << "\n";
    };
    if (options.valueName) {
        const auto value = opened->key.QueryValue(*options.valueName);
        if (!value) {
            err << "pixtera-reg: " << options.key << ": " << Describe(ERROR_FILE_NOT_FOUND) << "\n";
            return kFailed;
        }
        print(*value);
        return kOk;
    }
    for (const auto& value : opened->key.Values())
        print(value);
    for (const auto& sub : opened->key.SubKeys())
        out << opened->fullPath << "\\" << sub << "\n";
    return kOk;
}

int Add(std::span<const std::string> words, std::ostream& err)
{
    Options options;
    if (!ParseOptions(words, true, options, err))
        return kUsage;
    if ((options.type || options.data) && !options.valueName) {
        err << "pixtera-reg: /t and /d need /v NAME or /ve\n";
        return kUsage;
    }
    std::optional<std::vector<BYTE>> bytes;
    DWORD type = REG_SZ;
    if (options.valueName &&
        !(bytes = EncodeData(options.type.value_or("REG_SZ"), options.data.value_or(""), type, err)))
        return kUsage;
    int failure = kFailed;
    auto opened = OpenNamedKey(options.key, KEY_ALL_ACCESS, true, err, failure);
    if (!opened)
        return failure;
    if (bytes) {
        if (LSTATUS status = opened->key.SetValue(*options.valueName, type, *bytes); status != ERROR_SUCCESS) {
            err << "pixtera-reg: " << options.key << ": " << Describe(status) << "\n";
            return kFailed;
        }
    }
    return kOk;
}

int Delete(std::span<const std::string> words, std::ostream& err)
{
    Options options;
    if (!ParseOptions(words, false, options, err))
        return kUsage;
    const auto parsed = ParseRegistryPath(options.key);
    if (!parsed) {
        err << "pixtera-reg: '" << options.key << "' does not start with HKCR, HKLM or HKCU\n";
        return kUsage;
    }
    LSTATUS status = ERROR_SUCCESS;
    if (options.valueName) {
        int failure = kFailed;
        auto opened = OpenNamedKey(options.key, KEY_ALL_ACCESS, false, err, failure);
        if (!opened)
            return failure;
        status = opened->key.DeleteValue(*options.valueName);
    } else if (parsed->second.empty()) {
        err << "pixtera-reg: a root key cannot be deleted\n";
        return kUsage;
    } else {
        status = RegDeleteTreeA(parsed->first, parsed->second.c_str());
    }
    if (status != ERROR_SUCCESS) {
        err << "pixtera-reg: " << options.key << ": " << Describe(status) << "\n";
        return kFailed;
    }
    return kOk;
}

void ExportKey(const RegKey& key, const std::string& fullPath, std::ostream& out)
{
    out << "[" << fullPath << "]\n";
    for (const auto& value : key.Values())
        out << ExportForm(value) << "\n";
    out << "\n";
    for (const auto& name : key.SubKeys()) {
        RegKey sub;
        if (sub.Open(key.get(), name, KEY_READ) == ERROR_SUCCESS)
            ExportKey(sub, fullPath + "\\" + name, out);
    }
}

int Export(std::span<const std::string> words, std::ostream& out, std::ostream& err)
{
    if (words.size() != 1) {
        err << "pixtera-reg: export takes one key\n";
        return kUsage;
    }
    int failure = kFailed;
    auto opened = OpenNamedKey(words[0], KEY_READ, false, err, failure);
    if (!opened)
        return failure;
    ExportKey(opened->key, opened->fullPath, out);
    return kOk;
}

int CallModuleEntry(std::span<const std::string> words, const char* entryName, std::ostream& out, std::ostream& err)
{
    if (words.size() != 1) {
        err << "pixtera-reg: " << entryName << " needs one module path\n";
        return kUsage;
    }
    std::error_code ec;
    const auto path = std::filesystem::absolute(words[0], ec);
    // A path the system refuses (too long, say) is no module: never an exception.
    if (ec || !std::filesystem::exists(path, ec) || ec) {
        err << "pixtera-reg: " << words[0] << ": no such module\n";
        return kFailed;
    }
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) {
        err << "pixtera-reg: cannot load " << path.string() << ": " << LastModuleError() << "\n";
        return kFailed;
    }
    using Entry = HRESULT (*)();
    auto entry = reinterpret_cast<Entry>(GetProcAddress(module, entryName));
    if (!entry) {
        err << "pixtera-reg: " << path.string() << " has no " << entryName << "\n";
        return kFailed;
    }
    const HRESULT hr = entry();
    if (FAILED(hr)) {
        err << "pixtera-reg: " << entryName << " of " << path.string() << " failed: " << HresultText(hr) << "\n";
        return kFailed;
    }
    out << entryName << " of " << path.string() << " succeeded\n";
    return kOk;
}

} // namespace

int RunRegCommand(std::span<const std::string> arguments, std::ostream& out, std::ostream& err)
{
    if (arguments.empty()) {
        err << kUsageText;
        return kUsage;
    }
    if (arguments[0] == "--machine") {
        const auto machine = MachineRegistryPath();
        if (!machine) {
            err << "pixtera-reg: there is no machine layer (PIXTERA_MACHINE_REGISTRY is empty)\n";
            return kUsage;
        }
        UseMachineRegistry();
        arguments = arguments.subspan(1);
        if (arguments.empty()) {
            err << kUsageText;
            return kUsage;
        }
    }
    const std::string command = Lower(arguments[0]);
    const auto rest = arguments.subspan(1);
    if (command == "query")
        return Query(rest, out, err);
    if (command == "add")
        return Add(rest, err);
    if (command == "delete")
        return Delete(rest, err);
    if (command == "export")
        return Export(rest, out, err);
    if (command == "register")
        return CallModuleEntry(rest, "DllRegisterServer", out, err);
    if (command == "unregister")
        return CallModuleEntry(rest, "DllUnregisterServer", out, err);
    if (command == "help" || command == "--help" || command == "-h" || command == "/?") {
        out << kUsageText;
        return kOk;
    }
    if (command == "--version") {
        out << "pixtera-reg " PIXTERA_VERSION "\n";
        return kOk;
    }
    err << "pixtera-reg: unknown command '" << arguments[0] << "'\n" << kUsageText;
    return kUsage;
}

} // namespace pixtera
