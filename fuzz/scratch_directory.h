// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <errno.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

// A directory of this fuzzer's own for the files each input becomes,
// memory-backed where there is such a place. libFuzzer ends with _Exit, past
// any clean-up, so each start clears what its last run left.
inline const std::filesystem::path& ScratchDirectory()
{
    namespace fs = std::filesystem;
    static const fs::path directory = [] {
        const fs::path base = ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        const fs::path own = base / (std::string("dorvik-fuzz-") + program_invocation_short_name);
        fs::remove_all(own);
        fs::create_directory(own);
        return own;
    }();
    return directory;
}

// Stops the fuzzer on an input that breaks what must hold.
inline void Check(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", what);
    std::abort();
}

// Writes one input into the scratch directory as the file `name`.
inline void WriteScratchFile(const char* name, const std::uint8_t* data, std::size_t size)
{
    const std::string path = ScratchDirectory() / name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    Check(file && std::fwrite(data, 1, size, file) == size, "the scratch file is written");
    std::fclose(file);
}

}  // namespace fuzz
