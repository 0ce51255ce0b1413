#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A directory of the fuzzer's own for the files each input becomes, removed
// at exit. Memory-backed where there is such a place, since every input
// writes files.
inline const std::filesystem::path& ScratchDirectory()
{
    namespace fs = std::filesystem;
    static const fs::path directory = [] {
        std::error_code ignored;
        const fs::path base = fs::is_directory("/dev/shm", ignored) && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
        std::string pattern = (base / "dorvik-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(ScratchDirectory(), ignored);
        });
        return fs::path(pattern);
    }();
    return directory;
}

}  // namespace fuzz
