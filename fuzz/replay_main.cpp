// Runs a fuzz target without libFuzzer: every regular file named on the
// command line, and every regular file in a named directory (in name order),
// goes once through LLVMFuzzerTestOneInput. The ordinary test build uses it
// to replay the seed corpus; a mismatch aborts inside the target.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace fs = std::filesystem;

namespace {

bool replay(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    // A heap copy of exactly the file's size, as libFuzzer hands it over, so
    // that a sanitizer build or valgrind sees a read past the end.
    auto *copy = static_cast<std::uint8_t *>(std::malloc(bytes.empty() ? 1 : bytes.size()));
    if (copy == nullptr) return false;
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    LLVMFuzzerTestOneInput(copy, bytes.size());
    std::free(copy);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const fs::path arg = argv[i];
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> found;
            for (const auto &entry : fs::directory_iterator(arg, ec)) {
                if (entry.is_regular_file()) found.push_back(entry.path());
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "no such file or directory: %s\n", argv[i]);
            return 2;
        }
    }
    // An empty corpus would pass without testing anything.
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIR... (no inputs found)\n", argv[0]);
        return 2;
    }
    for (const fs::path &file : files) {
        if (!replay(file)) return 1;
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
