#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

#include <unistd.h>

namespace quorbit::testing {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the test ends.
class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorbit-test-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempFolder()
    {
        // Read-only folders made by a test must be writable again to be removed.
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, error)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, error);
            }
        }
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

    // Creates files (with their name as content) and folders (names ending in "/").
    void create(std::initializer_list<std::string> names) const
    {
        for (const std::string& name : names) {
            if (name.back() == '/') {
                std::filesystem::create_directories(*this / name);
            } else {
                std::filesystem::create_directories(std::filesystem::path(*this / name).parent_path());
                std::ofstream(*this / name) << name;
            }
        }
    }

    // The names of the entries of a folder below this one ("" for this one).
    std::set<std::string> list(const std::string& relative = "") const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(relative.empty() ? m_path : *this / relative)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string contentOf(const std::string& relative) const
    {
        std::ifstream in(*this / relative);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string m_path;
};

inline void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace quorbit::testing
