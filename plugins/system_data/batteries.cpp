// SPDX-License-Identifier: MIT
#include "batteries.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pixtera {
namespace {

namespace fs = std::filesystem;

struct Supply {
    fs::path dir;
    SysfsFiles& files;
    std::optional<double> Micro(const char* name) const
    {
        const auto value = files.Number(dir / name);
        return value ? std::optional(*value / 1e6) : std::nullopt;
    }
};

// Watts, and what is stored and storable in watt-hours or ampere-hours (with the rate in W or A).
struct Levels {
    std::optional<double> rate;
    std::optional<double> now;
    std::optional<double> full;
};

// Some drivers give no power_now, only the current and the voltage it flows at.
std::optional<double> Watts(const Supply& supply)
{
    if (const auto watts = supply.Micro("power_now"))
        return std::fabs(*watts);
    const auto amperes = supply.Micro("current_now");
    const auto volts = supply.Micro("voltage_now");
    return amperes && volts ? std::optional(std::fabs(*amperes * *volts)) : std::nullopt;
}

Levels LevelsOf(const Supply& supply)
{
    if (const auto energy = supply.Micro("energy_now"))
        return {Watts(supply), energy, supply.Micro("energy_full")};
    return {supply.Micro("current_now"), supply.Micro("charge_now"), supply.Micro("charge_full")};
}

} // namespace

std::string HoursAndMinutes(double hours)
{
    const long minutes = std::lround(hours * 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", minutes / 60, minutes % 60);
    return text;
}

void AddBatteries(const fs::path& sys, SysfsFiles& files, SampledItems& items)
{
    for (const auto& name : SortedNames(sys / "class" / "power_supply")) {
        const fs::path dir = sys / "class" / "power_supply" / name;
        if (files.Line(dir / "type").value_or("") != "Battery")
            continue;
        const Supply supply{dir, files};
        const std::string key = "Battery." + name + ".";
        const std::string path = "System\\Batteries\\" + name + "\\";
        if (const auto percent = files.Number(dir / "capacity"))
            AddNumber(items, key + "Percent", path + "Percent", *percent);
        const std::string status = files.Line(dir / "status").value_or("");
        if (!status.empty())
            AddText(items, key + "Status", path + "Status", status);
        const Levels levels = LevelsOf(supply);
        if (const auto watts = Watts(supply))
            AddNumber(items, key + "Power", path + "Power", *watts);
        if (levels.rate && std::fabs(*levels.rate) > 0 && levels.now) {
            const double rate = std::fabs(*levels.rate);
            if (status == "Discharging")
                AddText(items, key + "TimeLeft", path + "Time left", HoursAndMinutes(*levels.now / rate));
            else if (status == "Charging" && levels.full)
                AddText(items, key + "TimeLeft", path + "Time left",
                        HoursAndMinutes(std::max(0.0, *levels.full - *levels.now) / rate));
        }
    }
}

} // namespace pixtera
