// SPDX-License-Identifier: MIT
#pragma once
// A copy of /proc and /sys written by the test, and the lookups of sampled items by name.

#include "system_sampler.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>

namespace pixtera::test {

class SamplerFixture : public ::testing::Test {
protected:
    // A file of the tree, with its directories.
    void Write(const std::string& relative, const std::string& content)
    {
        const auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << content;
    }

    static const SampledItem* Find(const std::vector<SampledItem>& items, const std::string& name)
    {
        for (const auto& item : items)
            if (item.name == name)
                return &item;
        return nullptr;
    }
    static double Number(const std::vector<SampledItem>& items, const std::string& name)
    {
        const auto* item = Find(items, name);
        const double* number = item ? std::get_if<double>(&item->value) : nullptr;
        EXPECT_NE(number, nullptr) << name << " is no number";
        return number ? *number : -1;
    }
    static std::string Text(const std::vector<SampledItem>& items, const std::string& name)
    {
        const auto* item = Find(items, name);
        const std::string* text = item ? std::get_if<std::string>(&item->value) : nullptr;
        EXPECT_NE(text, nullptr) << name << " is no text";
        return text ? *text : "";
    }

    // A symbolic link of the tree to another place in it, as sysfs's class directories have.
    void Link(const std::string& relative, const std::string& target)
    {
        const auto path = root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::remove(path);
        std::filesystem::create_directory_symlink(root / target, path);
    }

    std::filesystem::path root = TestDirectory() / "fixture";
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::time_point(std::chrono::seconds(1000));
    std::time_t wall = 1765112400; // 2025-12-07 13:00:00 UTC, a Sunday
};

} // namespace pixtera::test
