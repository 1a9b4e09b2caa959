// SPDX-License-Identifier: MIT
#include <pixtera/platform/self_registration.h>

#include <algorithm>
#include <cctype>

namespace pixtera {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool IsShared(const RegistrationScript& script, std::string_view key)
{
    return std::any_of(script.sharedParents.begin(), script.sharedParents.end(),
                       [&](const std::string& parent) { return EqualsNoCase(parent, key); });
}

// The outermost key of `path` that the script owns: the first prefix that is not a shared parent.
std::string OwnedRoot(const RegistrationScript& script, const std::string& path)
{
    std::size_t end = 0;
    while (true) {
        end = path.find('\\', end);
        const std::string prefix = path.substr(0, end);
        if (!IsShared(script, prefix) || end == std::string::npos)
            return prefix;
        ++end;
    }
}

HRESULT DeleteTreeIfPresent(HKEY root, const std::string& key)
{
    const LSTATUS status = RegDeleteTreeA(root, key.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}

} // namespace

std::string Substitute(std::string_view text, const Substitutions& substitutions)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t open = text.find('%', pos);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(pos));
            break;
        }
        const auto it = substitutions.find(text.substr(open + 1, close - open - 1));
        if (it == substitutions.end()) {
            out.append(text.substr(pos, close - pos)); // keep the '%' and look on from the second one
            pos = close;
            continue;
        }
        out.append(text.substr(pos, open - pos));
        out.append(it->second);
        pos = close + 1;
    }
    return out;
}

RegistrationScript InprocClassScript(const InprocClass& c)
{
    const std::string clsid = FormatGuid(c.clsid);
    const std::string versioned = c.progId + ".1";
    const std::string key = "CLSID\\" + clsid;
    return {
        .entries = {{versioned, "", c.description},
                    {versioned + "\\CLSID", "", clsid},
                    {c.progId, "", c.description},
                    {c.progId + "\\CLSID", "", clsid},
                    {c.progId + "\\CurVer", "", versioned},
                    {key, "", c.description},
                    {key + "\\ProgID", "", versioned},
                    {key + "\\VersionIndependentProgID", "", c.progId},
                    {key + "\\InprocServer32", "", "%MODULE%"},
                    {key + "\\InprocServer32", "ThreadingModel", c.threadingModel}},
        .recreateKeys = {key},
        .sharedParents = {"CLSID"},
    };
}

HRESULT RegisterScript(const RegistrationScript& script, const Substitutions& substitutions)
{
    for (const auto& key : script.recreateKeys)
        if (HRESULT hr = DeleteTreeIfPresent(script.root, Substitute(key, substitutions)); FAILED(hr))
            return hr;
    for (const auto& entry : script.entries) {
        RegKey key;
        if (LSTATUS status = key.Create(script.root, Substitute(entry.key, substitutions)); status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        if (entry.keyOnly)
            continue;
        if (LSTATUS status = key.SetString(entry.valueName, Substitute(entry.data, substitutions));
            status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

HRESULT UnregisterScript(const RegistrationScript& script, const Substitutions& substitutions)
{
    std::vector<std::string> roots;
    for (const auto& entry : script.entries) {
        std::string root = OwnedRoot(script, Substitute(entry.key, substitutions));
        if (std::none_of(roots.begin(), roots.end(), [&](const std::string& r) { return EqualsNoCase(r, root); }))
            roots.push_back(std::move(root));
    }
    for (const auto& root : roots)
        if (HRESULT hr = DeleteTreeIfPresent(script.root, root); FAILED(hr))
            return hr;
    return S_OK;
}

} // namespace pixtera
