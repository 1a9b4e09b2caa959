// SPDX-License-Identifier: MIT
#pragma once
// The designer's settings: values of HKEY_LOCAL_MACHINE\Software\Pixtera2.0 in the registry.
// A value that is missing or of another type reads as absent; every write creates the key.

#include <pixtera/platform/types.h>

#include <optional>
#include <string>

namespace pixtera::designer {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class DesignerSettings {
public:
    std::optional<DWORD> ReadNumber(const std::string& name) const;
    DWORD ReadNumber(const std::string& name, DWORD fallback) const { return ReadNumber(name).value_or(fallback); }
    void WriteNumber(const std::string& name, DWORD value);

    // Colours are 4-byte binary values: red, green, blue, unused.
    std::optional<Rgb> ReadColour(const std::string& name) const;
    void WriteColour(const std::string& name, Rgb colour);

    static std::string VisibleName(int viewCommand) { return std::to_string(viewCommand) + "_visible"; }
};

} // namespace pixtera::designer
