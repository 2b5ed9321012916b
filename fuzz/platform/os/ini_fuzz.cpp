// Arbitrary bytes as an INI file: reads never fail, and every accepted write reads back,
// including a section and key taken from the input itself.
#include "kavrel/os/ini.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using namespace kavrel::os;

const fs::path& scratchFile() {
    static const fs::path file = [] {
        // tmpfs when there is one: every write syncs its file, which costs nothing there.
        std::error_code ec;
        fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string tmpl = (base / "kavrel-ini-fuzz-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        return fs::path(tmpl) / "f.ini";
    }();
    return file;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "ini fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path& file = scratchFile();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    {
        FILE* f = std::fopen(file.c_str(), "wb");
        check(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fclose(f) == 0, "scratch");
    }
    profileInt(bytes);
    readProfileInt(file, "PROFILEDEVICECOUNT", "count");
    readProfileString(file, "DEVICEPROCESS", "0");
    check(readProfileString(file, "S", "k", "").size() <= (kIniBufferChars - 1) * 4, "value longer than the cut");

    // Names from the input's first two lines; a write that accepts them must read back.
    std::size_t nl1 = bytes.find('\n');
    std::size_t nl2 = nl1 == std::string_view::npos ? nl1 : bytes.find('\n', nl1 + 1);
    if (nl2 != std::string_view::npos) {
        std::string_view section = bytes.substr(0, nl1), key = bytes.substr(nl1 + 1, nl2 - nl1 - 1);
        if (writeProfileString(file, section, key, "fuzzed"))
            check(readProfileString(file, section, key) == "fuzzed", "own names did not read back");
    }
    check(writeProfileString(file, "PROFILECOUNT", "count", "7"), "write refused");
    check(readProfileInt(file, "profilecount", "COUNT") == 7, "value did not read back");
    check(writeProfileString(file, "Fuzz New Section", "k", "v"), "second write refused");
    check(readProfileInt(file, "PROFILECOUNT", "count") == 7, "second write lost the first");
    check(readProfileString(file, "fuzz new section", "K") == "v", "new section did not read back");
    return 0;
}
