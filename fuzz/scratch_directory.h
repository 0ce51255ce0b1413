#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A directory of the fuzzer's own for the files each input becomes.
// Memory-backed where there is such a place, since every input writes files.
// libFuzzer ends with _Exit, past any clean-up of ours, so each fuzzer
// removes what earlier fuzzers that are gone left behind.
inline const std::filesystem::path& ScratchDirectory()
{
    namespace fs = std::filesystem;
    static const fs::path directory = [] {
        const std::string prefix = "dorvik-fuzz-";
        std::error_code error;
        const fs::path base = fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0
                                  ? fs::path("/dev/shm")
                                  : fs::temp_directory_path();
        for (const auto& entry : fs::directory_iterator(base, error)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(prefix) && !fs::exists("/proc/" + name.substr(prefix.size()), error))
                fs::remove_all(entry.path(), error);
        }
        const fs::path own = base / (prefix + std::to_string(::getpid()));
        fs::remove_all(own, error);
        if (::mkdir(own.c_str(), 0700) != 0)
            std::abort();
        return own;
    }();
    return directory;
}

}  // namespace fuzz
