// A main for a libFuzzer target where libFuzzer is not linked (the normal
// build, GCC): runs the target once on each file of the folders or files
// given, so the tests replay the seed corpus and every crash found before.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void RunOne(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path given(argv[i]);
    if (std::filesystem::is_directory(given)) {
      for (const auto& entry : std::filesystem::directory_iterator(given)) {
        if (!entry.is_regular_file()) continue;
        RunOne(entry.path());
        ++runs;
      }
    } else {
      RunOne(given);
      ++runs;
    }
  }
  std::printf("%zu inputs run\n", runs);
  return runs > 0 ? 0 : 1;
}
