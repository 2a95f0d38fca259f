#pragma once
// A scratch folder per test and small file helpers.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "duoplex/core/planar_state.h"

namespace duoplex::testing {

class ScratchDir {
public:
    ScratchDir() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("duoplex-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void MakeReadOnly(const std::string& path) { ::chmod(path.c_str(), 0444); }

inline std::string Bytes(const GravBytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

// Everything of the state as bytes, the bits of every value included.
inline std::string StateImage(const PlanarState& s) {
    std::string out = Bytes(EncodeGravRecord(RecordOfState(s))) + Bytes(s.Snapshot);
    out.append(reinterpret_cast<const char*>(&s.StepCount), sizeof s.StepCount);
    out += s.Stopped ? '1' : '0';
    out.append(reinterpret_cast<const char*>(s.PixelX), sizeof s.PixelX);
    out.append(reinterpret_cast<const char*>(s.PixelY), sizeof s.PixelY);
    return out;
}

// The names and contents of the files below a folder.
inline std::map<std::string, std::string> Listing(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        files[it->path().string()] = it->is_regular_file() ? ReadBytes(it->path().string()) : std::string("<dir>");
    }
    return files;
}

}  // namespace duoplex::testing
