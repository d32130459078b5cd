// Runs a fuzz target once on each input, so that every build's tests check the corpora
// without libFuzzer. Arguments are input files, or folders whose files run in name
// order. Fails when an input cannot be read or when there was no input at all.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputFiles(const fs::path &argument)
{
    std::error_code error;
    if (!fs::is_directory(argument, error))
        return {argument};
    std::vector<fs::path> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(argument))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The input lies in an allocation of exactly its size, as under libFuzzer, so that
// the sanitizers catch a read past its end.
bool RunInput(const fs::path &path)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    std::ifstream in(path, std::ios::binary);
    if (error || !in)
        return false;
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    if (!in.read(reinterpret_cast<char *>(bytes.get()), std::streamsize(size)))
        return false;
    return LLVMFuzzerTestOneInput(bytes.get(), std::size_t(size)) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        for (const fs::path &input : InputFiles(argv[i])) {
            std::fprintf(stderr, "Running: %s\n", input.c_str());
            if (!RunInput(input)) {
                std::fprintf(stderr, "cannot run %s\n", input.c_str());
                return 1;
            }
            ++runs;
        }
    }
    std::printf("%zu inputs run\n", runs);
    return runs > 0 ? 0 : 1;
}
