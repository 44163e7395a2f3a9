#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// What a test makes for itself and gives back: a folder of its own, removed again, and the
// environment variables it sets, each put back as it was.
class Scratch {
public:
    Scratch()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sentrilo-test.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("no scratch folder in " + pattern);
        path_ = pattern;
    }
    ~Scratch()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Sets `name` for as long as this lives; a null `value` unsets it.
    void set(const char* name, const char* value)
    {
        const char* was = std::getenv(name);
        saved_.emplace_back(name, was != nullptr ? std::optional<std::string>(was) : std::nullopt);
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }

private:
    std::filesystem::path path_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// A file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The check log in `folder`, as the program writes it; empty before the first record.
inline std::string logIn(const std::filesystem::path& folder)
{
    return readFile(folder / "snlog.html");
}
