#pragma once
// A folder of its own for each test of files written whole (platform/OutputFile.h),
// removed with everything in it afterwards.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>

class WholeFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string name = "lanscout-output-" + std::to_string(std::random_device()());
        m_folder = std::filesystem::temp_directory_path() / name;
        ASSERT_TRUE(std::filesystem::create_directory(m_folder));
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }

    std::string Path(const std::string &name) const { return (m_folder / name).string(); }
    std::set<std::string> Names(const std::string &folder = ".") const
    {
        std::set<std::string> names;
        for (const std::filesystem::directory_entry &entry : std::filesystem::directory_iterator(m_folder / folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    static std::string Read(const std::string &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path m_folder;
};
