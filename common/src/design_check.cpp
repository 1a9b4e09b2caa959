// SPDX-License-Identifier: MIT
#include <pixtera/design_check.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <set>

namespace pixtera {
namespace {

// The format: for each element, its attributes and the words an attribute allows (none: a number,
// "*": any text), and its child elements.
struct ElementRule {
    std::map<std::string, std::vector<std::string>, std::less<>> attributes;
    std::set<std::string, std::less<>> children;
};

const std::vector<std::string> kNumber{};
const std::vector<std::string> kAnyText{"*"};
const std::vector<std::string> kUnits{"Bytes", "KiloBytes", "MegaBytes", "GigaBytes", "TerraBytes"};

const std::map<std::string, ElementRule, std::less<>>& Rules()
{
    static const std::map<std::string, ElementRule, std::less<>> rules{
        {"Design", {{{"UpdateFreq", kNumber}}, {"DisplayItems", "Background"}}},
        {"Background", {{{"FileName", kAnyText}}, {}}},
        {"DisplayItems", {{}, {"DisplayItem"}}},
        {"DisplayItem", {{}, {"Position", "Appearance", "Data", "Convert", "Formatting"}}},
        {"Position", {{{"X", kNumber}, {"Y", kNumber}, {"Width", kNumber}, {"Height", kNumber}}, {}}},
        {"Appearance",
         {{{"Mode", {"Static", "LeftToRight", "RightToLeft", "HorizontalBar", "BigNumber"}},
           {"DigitRows", {"2", "4"}},
           {"ScrollDelay", kNumber},
           {"HBarMax", kNumber},
           {"Allignment", {"Left", "Right", "Center"}}},
          {}}},
        {"Data", {{{"Mode", {"Data", "Static"}}, {"Name", kAnyText}, {"Text", kAnyText}}, {}}},
        {"Convert", {{{"From", kUnits}, {"To", kUnits}}, {}}},
        {"Formatting", {{{"Digits", kNumber}}, {}}},
    };
    return rules;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// The format's name for a misspelt one: same letters but for case, or the well-known "Alignment".
template <class Names>
std::string Suggestion(std::string_view name, const Names& known)
{
    for (const auto& candidate : known) {
        const std::string_view spelt = candidate;
        if (Lower(spelt) == Lower(name) || (Lower(name) == "alignment" && spelt == "Allignment"))
            return " (the format spells it " + std::string(spelt) + ")";
    }
    return {};
}

bool IsNumber(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

class Checker {
public:
    Checker(std::string_view xml, int columns, int rows) : xml_(xml), columns_(columns), rows_(rows) {}

    std::vector<DesignFinding> Run()
    {
        pugi::xml_document document;
        const auto parsed = document.load_buffer(xml_.data(), xml_.size());
        if (!parsed) {
            Report(static_cast<std::ptrdiff_t>(parsed.offset),
                   std::string("not well-formed XML: ") + parsed.description());
            return std::move(findings_);
        }
        const pugi::xml_node root = document.document_element();
        if (std::string_view(root.name()) != "Design")
            Report(root.offset_debug(), "the root element is <" + std::string(root.name()) + ">, not <Design>");
        else
            CheckElement(root);
        int number = 0;
        for (const auto& selected : document.select_nodes("Design/DisplayItems/DisplayItem"))
            CheckPlacement(selected.node(), ++number);
        return std::move(findings_);
    }

private:
    void Report(std::ptrdiff_t offset, std::string message)
    {
        const auto end = std::min<std::size_t>(offset < 0 ? 0 : static_cast<std::size_t>(offset), xml_.size());
        const int line =
            1 + static_cast<int>(std::count(xml_.begin(), xml_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
        findings_.push_back({line, std::move(message)});
    }

    void CheckElement(const pugi::xml_node& element)
    {
        const auto rule = Rules().find(element.name());
        for (const pugi::xml_attribute attribute : element.attributes()) {
            const auto known = rule->second.attributes.find(attribute.name());
            if (known == rule->second.attributes.end()) {
                std::vector<std::string> names;
                for (const auto& [name, values] : rule->second.attributes)
                    names.push_back(name);
                Report(element.offset_debug(), "<" + std::string(element.name()) + "> attribute " + attribute.name() +
                                                   " is not read" + Suggestion(attribute.name(), names));
                continue;
            }
            CheckValue(element, attribute, known->second);
        }
        for (const pugi::xml_node child : element.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (!rule->second.children.count(child.name())) {
                Report(child.offset_debug(), "<" + std::string(child.name()) + "> in <" + element.name() +
                                                 "> is not read" + Suggestion(child.name(), rule->second.children));
                continue;
            }
            CheckElement(child);
        }
    }

    void CheckValue(const pugi::xml_node& element, const pugi::xml_attribute& attribute,
                    const std::vector<std::string>& allowed)
    {
        const std::string_view value = attribute.value();
        const std::string where =
            "<" + std::string(element.name()) + "> " + attribute.name() + " \"" + std::string(value) + "\"";
        if (allowed.empty() && !IsNumber(value))
            Report(element.offset_debug(), where + " is not a number");
        else if (!allowed.empty() && allowed.front() != "*" &&
                 std::find(allowed.begin(), allowed.end(), value) == allowed.end())
            Report(element.offset_debug(), where + " is not one of the format's words" + Suggestion(value, allowed));
    }

    void CheckPlacement(const pugi::xml_node& item, int number)
    {
        const pugi::xml_node position = item.child("Position");
        const auto x = position.attribute("X").as_int();
        const auto y = position.attribute("Y").as_int();
        const auto width = position.attribute("Width").as_int();
        const auto height = position.attribute("Height").as_int(1);
        if (!position)
            return;
        if (x >= columns_ || y >= rows_ || x + width <= 0 || y + height <= 0 || width <= 0)
            Report(item.offset_debug(), "item " + std::to_string(number) + " lies entirely outside a " +
                                            std::to_string(columns_) + "x" + std::to_string(rows_) + " display");
    }

    std::string_view xml_;
    int columns_;
    int rows_;
    std::vector<DesignFinding> findings_;
};

} // namespace

std::vector<DesignFinding> CheckDesign(std::string_view xml, int columns, int rows)
{
    return Checker(xml, columns, rows).Run();
}

} // namespace pixtera
