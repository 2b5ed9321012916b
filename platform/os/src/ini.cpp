// Profile-string INI files.
//
// Reading follows the profile API's rules: sections "[name]" and keys "key=value" match without
// regard to ASCII case, blanks around names and values are trimmed, a value enclosed in a pair
// of matching quotes (" or ') loses them, the first of duplicate sections or keys wins (a key
// in a second section of the same name is not seen), and the value is cut to 259 code points.
// Where that behaviour is not pinned down we choose what keeps files readable:
//  - a line whose first non-blank is ';' is a comment: never a key, kept as it is;
//  - lines before the first section header belong to no section and are never matched;
//  - a line starting with '[' but without ']' is not a header, nor is it a key;
//  - a line without '=' is not a key;
//  - a NUL byte ends a value (the API hands out terminated strings); the line is kept intact;
//  - a file that is not valid UTF-8 is still read byte-wise; the cut never splits a sequence;
//  - a write to a UTF-16LE file keeps it UTF-16LE with its BOM, so every untouched line keeps
//    its bytes and the Windows program can still read it (text that is not valid UTF-8 is then
//    refused, as it has no UTF-16 form); likewise a UTF-8 BOM stays.
// Writes produce CRLF lines; the lines around the changed one are copied byte for byte (a last
// line without a line break gets one when something is appended after it). A write refuses
// (returns false) names or values that would not read back: empty or blank section or key
// names, line breaks or NUL anywhere, ']' in a section name, '=' in a key, or a key that would
// read as a header or a comment. A file that exists but cannot be read is never replaced.
//
// Reads take no lock: writers replace the file by rename, so a reader sees the old or the new
// file, never a half-written one. Each read reads the whole file once (system calls dominate
// its cost, see readFileFast) and scans it in place; no copy of the content is kept, so a read
// always sees the file as it is on disk.
#include "kavrel/os/ini.h"

#include "kavrel/os/diag.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kavrel::os {
namespace {

namespace fs = std::filesystem;

enum class Encoding { Utf8, Utf8Bom, Utf16Le };

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Cuts to kIniBufferChars - 1 code points (bytes that start a UTF-8 sequence, or stray bytes).
std::string_view cutValue(std::string_view v) {
    if (v.size() < kIniBufferChars) return v;
    std::size_t points = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if ((static_cast<unsigned char>(v[i]) & 0xC0) != 0x80) {
            if (points == kIniBufferChars - 1) return v.substr(0, i);
            ++points;
        }
    }
    return v;
}

enum class LineKind { Other, Section, Key };
struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed, quotes kept
};

ParsedLine parseLine(std::string_view line) {
    ParsedLine p;
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return p;
    if (t.front() == '[') {
        std::size_t close = t.rfind(']');
        if (close == std::string_view::npos) return p;
        p.kind = LineKind::Section;
        p.name = trim(t.substr(1, close - 1));
        return p;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return p;
    p.kind = LineKind::Key;
    p.name = trim(t.substr(0, eq));
    p.value = trim(t.substr(eq + 1));
    return p;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// A growable byte buffer that is not cleared between reads (reads are on the hot path).
struct Buffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    std::size_t size = 0;
    void reserve(std::size_t n) {
        if (n <= capacity) return;
        std::size_t cap = std::max<std::size_t>(n, capacity * 2);
        auto bigger = std::make_unique_for_overwrite<char[]>(cap);
        if (size) std::memcpy(bigger.get(), data.get(), size);
        data = std::move(bigger);
        capacity = cap;
    }
    std::string_view view() const { return {data.get(), size}; }
};

// The write path: reads a whole regular file. ENOENT and ENOTDIR count as "missing"; other failures as errors.
enum class ReadResult { Ok, Missing, Error };
ReadResult readFile(const fs::path& file, Buffer& out, mode_t* mode = nullptr) {
    out.size = 0;
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); // a FIFO must not block

    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::Error;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::Error;
    }
    if (mode) *mode = st.st_mode & 07777;
    out.reserve((st.st_size > 0 ? std::size_t(st.st_size) : 0) + 1); // +1: sees a file that grew
    for (;;) {
        if (out.size == out.capacity) out.reserve(out.capacity * 2);
        ssize_t n = ::read(fd, out.data.get() + out.size, out.capacity - out.size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            out.size = 0;
            return ReadResult::Error;
        }
        if (n == 0) break;
        out.size += std::size_t(n);
    }
    ::close(fd);
    return ReadResult::Ok;
}

// The read path keeps a few files of this thread open, but never their contents: each read
// stats the path and reuses the descriptor only while the path still names the same file (the
// open descriptor keeps that inode from being reused), then reads the content afresh with
// pread. A rename over the file or a new file shows at once. Two system calls per read
// instead of open, read and close.
constexpr std::size_t kMaxFile = std::size_t(1) << 28;
constexpr std::size_t kKeepBuffer = std::size_t(1) << 20;

struct OpenFile {
    std::string path;
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
};

struct OpenFiles {
    std::array<OpenFile, 4> slots;
    unsigned next = 0;
    OpenFiles() = default;
    OpenFiles(const OpenFiles&) = delete;
    OpenFiles& operator=(const OpenFiles&) = delete;
    ~OpenFiles() {
        for (OpenFile& f : slots) drop(f);
    }
    static void drop(OpenFile& f) {
        if (f.fd >= 0) ::close(f.fd);
        f = OpenFile{};
    }
    OpenFile* find(std::string_view path) {
        for (OpenFile& f : slots)
            if (f.fd >= 0 && f.path == path) return &f;
        return nullptr;
    }
};

ReadResult readFileFast(const fs::path& file, Buffer& out) {
    thread_local OpenFiles open;
    out.size = 0;
    struct stat st {};
    OpenFile* slot = open.find(file.native());
    if (::stat(file.c_str(), &st) != 0) {
        int err = errno;
        if (slot) OpenFiles::drop(*slot);
        return (err == ENOENT || err == ENOTDIR) ? ReadResult::Missing : ReadResult::Error;
    }
    if (!S_ISREG(st.st_mode)) { // a directory, a FIFO, a device: never opened
        if (slot) OpenFiles::drop(*slot);
        return ReadResult::Error;
    }
    if (!slot || slot->dev != st.st_dev || slot->ino != st.st_ino) {
        if (!slot) slot = &open.slots[open.next++ % open.slots.size()];
        OpenFiles::drop(*slot);
        int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadResult::Missing : ReadResult::Error;
        struct stat own {};
        if (::fstat(fd, &own) != 0 || !S_ISREG(own.st_mode)) { // replaced between stat and open
            ::close(fd);
            return ReadResult::Error;
        }
        *slot = OpenFile{file.native(), fd, own.st_dev, own.st_ino};
    }
    out.reserve(std::min(std::size_t(st.st_size), kMaxFile) + 1); // +1: sees a file that grew
    for (;;) {
        std::size_t room = out.capacity - out.size;
        ssize_t n = ::pread(slot->fd, out.data.get() + out.size, room, off_t(out.size));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || out.size + std::size_t(n) > kMaxFile) {
            OpenFiles::drop(*slot);
            out.size = 0;
            return ReadResult::Error;
        }
        out.size += std::size_t(n);
        if (n == 0 || std::size_t(n) < room) break; // a short read of a regular file is its end
        out.reserve(out.capacity * 2);
    }
    return ReadResult::Ok;
}

Encoding detectEncoding(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return Encoding::Utf8Bom;
    if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") return Encoding::Utf16Le;
    return Encoding::Utf8;
}

std::size_t bomSize(Encoding e) { return e == Encoding::Utf8Bom ? 3 : e == Encoding::Utf16Le ? 2 : 0; }

// UTF-16LE code units [begin, end) of bytes to UTF-8, appended to out; lone surrogates become
// U+FFFD. Writes through a pointer into room sized for the worst case (3 bytes per unit).
void utf16ToUtf8(std::string_view bytes, std::size_t begin, std::size_t end, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + (end - begin) / 2 * 3);
    char* o = out.data() + start;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(bytes.data());
    auto unit = [&](std::size_t i) { return char32_t(u[i] | (u[i + 1] << 8)); };
    for (std::size_t i = begin; i + 1 < end; i += 2) {
        // Four ASCII units at a time: the common case of catalogues.
        while (i + 8 <= end) {
            std::uint64_t w;
            std::memcpy(&w, u + i, 8);
            if (w & 0xFF80FF80FF80FF80ULL) break;
            o[0] = char(u[i]), o[1] = char(u[i + 2]), o[2] = char(u[i + 4]), o[3] = char(u[i + 6]);
            o += 4;
            i += 8;
        }
        if (i + 1 >= end) break;
        char32_t cp = unit(i);
        if (cp < 0x80) {
            *o++ = char(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            char32_t low = (cp <= 0xDBFF && i + 3 < end) ? unit(i + 2) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                cp = 0xFFFD;
            }
        }
        if (cp < 0x800) {
            *o++ = char(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            *o++ = char(0xE0 | (cp >> 12));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
        } else { // a pair: 4 bytes for 2 units, within the room
            *o++ = char(0xF0 | (cp >> 18));
            *o++ = char(0x80 | ((cp >> 12) & 0x3F));
            *o++ = char(0x80 | ((cp >> 6) & 0x3F));
        }
        *o++ = char(0x80 | (cp & 0x3F));
    }
    out.resize(std::size_t(o - out.data()));
}

// Decodes one UTF-8 sequence at s[i]: its code point (kInvalid, length 1, when invalid).
constexpr char32_t kInvalid = 0x110000;
char32_t decodeUtf8(std::string_view s, std::size_t i, std::size_t& len) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    len = 1;
    if (c < 0x80) return c;
    std::size_t need = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (!need || i + need > s.size()) return kInvalid;
    char32_t v = c & (0xFF >> (need + 1));
    for (std::size_t k = 1; k < need; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return kInvalid;
        v = (v << 6) | (d & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kMin[need] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return kInvalid;
    len = need;
    return v;
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0, len = 0; i < s.size(); i += len)
        if (decodeUtf8(s, i, len) == kInvalid) return false;
    return true;
}

// UTF-8 text to UTF-16LE bytes; invalid sequences become U+FFFD.
void utf8ToUtf16(std::string_view s, std::string& out) {
    auto put = [&](char32_t u) {
        out.push_back(char(u & 0xFF));
        out.push_back(char(u >> 8));
    };
    for (std::size_t i = 0, len = 0; i < s.size(); i += len) {
        char32_t cp = decodeUtf8(s, i, len);
        if (cp == kInvalid) cp = 0xFFFD;
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
}

// One line of the file: its raw bytes [begin, end) including the line break, and its text
// (UTF-8, without the line break).
struct LineRef {
    std::size_t begin, end;
    std::string_view text;
    bool terminated;
};

// Calls fn(LineRef) for each line after the BOM until fn returns false.
template <typename Fn> void forEachLine(std::string_view bytes, Encoding enc, Fn&& fn) {
    std::size_t pos = bomSize(enc);
    if (enc != Encoding::Utf16Le) {
        while (pos < bytes.size()) {
            const void* nl = std::memchr(bytes.data() + pos, '\n', bytes.size() - pos);
            std::size_t lineEnd = nl ? std::size_t(static_cast<const char*>(nl) - bytes.data()) : bytes.size();
            std::size_t textEnd = lineEnd;
            if (textEnd > pos && bytes[textEnd - 1] == '\r') --textEnd;
            std::size_t next = nl ? lineEnd + 1 : lineEnd;
            if (!fn(LineRef{pos, next, bytes.substr(pos, textEnd - pos), nl != nullptr})) return;
            pos = next;
        }
        return;
    }
    std::string text;
    while (pos < bytes.size()) {
        std::size_t i = pos;
        bool nl = false;
        while (i + 1 < bytes.size()) {
            if (bytes[i] == '\n' && bytes[i + 1] == '\0') { nl = true; break; }
            i += 2;
        }
        if (!nl) i = bytes.size(); // an odd last byte stays in the raw line
        std::size_t textEnd = i;
        if (nl && textEnd >= pos + 2 && bytes[textEnd - 2] == '\r' && bytes[textEnd - 1] == '\0') textEnd -= 2;
        std::size_t next = nl ? i + 2 : i;
        text.clear();
        utf16ToUtf8(bytes, pos, textEnd, text);
        if (!fn(LineRef{pos, next, text, nl})) return;
        pos = next;
    }
}

// The write lookup: the raw position of the first matching key of the first matching section,
// or where a new key of that section goes.
struct Lookup {
    bool sectionFound = false;
    bool keyFound = false;
    std::string keyName;         // the key's own spelling in the file
    std::size_t keyBegin = 0, keyEnd = 0;  // raw bytes of the key line
    std::size_t insertAt = 0;    // raw offset just after the section's last key (or its header)
    bool insertAfterUnterminated = false;
};

Lookup lookup(std::string_view bytes, Encoding enc, std::string_view section, std::string_view key) {
    Lookup r;
    bool inSection = false;
    forEachLine(bytes, enc, [&](const LineRef& line) {
        // Fast skip: outside the wanted section only headers matter.
        if (!inSection) {
            std::size_t i = 0;
            while (i < line.text.size() && isBlank(line.text[i])) ++i;
            if (i == line.text.size() || line.text[i] != '[') return true;
        }
        ParsedLine p = parseLine(line.text);
        if (p.kind == LineKind::Section) {
            if (inSection) return false; // the end of the first matching section
            if (equalsNoCase(p.name, section)) {
                inSection = r.sectionFound = true;
                r.insertAt = line.end;
                r.insertAfterUnterminated = !line.terminated;
            }
            return true;
        }
        if (p.kind != LineKind::Key) return true;
        if (!r.keyFound && equalsNoCase(p.name, key)) {
            r.keyFound = true;
            r.keyName.assign(p.name);
            r.keyBegin = line.begin;
            r.keyEnd = line.end;
        }
        r.insertAt = line.end;
        r.insertAfterUnterminated = !line.terminated;
        return true;
    });
    return r;
}

// The read lookup over UTF-8 text: outside the wanted section only '[' at the start of a line
// matters, so the scan jumps from bracket to bracket. Gives the raw (trimmed) value.
bool findInText(std::string_view text, std::string_view section, std::string_view key, std::string_view& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    const char* p = begin;
    const char* body = nullptr; // first line of the wanted section
    while (!body) {
        const char* q = static_cast<const char*>(std::memchr(p, '[', std::size_t(end - p)));
        if (!q) return false;
        const char* b = q;
        while (b > begin && isBlank(b[-1])) --b;
        const char* nl = static_cast<const char*>(std::memchr(q, '\n', std::size_t(end - q)));
        const char* lineEnd = nl ? nl : end;
        if (b == begin || b[-1] == '\n') {
            ParsedLine h = parseLine(std::string_view(q, std::size_t(lineEnd - q)));
            if (h.kind == LineKind::Section && equalsNoCase(h.name, section)) body = nl ? nl + 1 : end;
        }
        p = nl ? nl + 1 : end;
    }
    for (p = body; p < end;) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* lineEnd = nl ? nl : end;
        ParsedLine l = parseLine(std::string_view(p, std::size_t(lineEnd - p)));
        if (l.kind == LineKind::Section) return false;
        if (l.kind == LineKind::Key && equalsNoCase(l.name, key)) {
            value = l.value;
            return true;
        }
        p = nl ? nl + 1 : end;
    }
    return false;
}

std::mutex& pathMutex(const fs::path& file) {
    static std::mutex mapMutex;
    static std::map<std::string, std::unique_ptr<std::mutex>> mutexes;
    std::lock_guard lock(mapMutex);
    auto& slot = mutexes[file.string()];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}

// The file a write replaces: symbolic links are followed so the link stays a link.
fs::path writeTarget(const fs::path& file) {
    std::error_code ec;
    fs::path abs = fs::absolute(file, ec);
    if (ec) abs = file;
    fs::path real = fs::weakly_canonical(abs, ec);
    return ec ? abs.lexically_normal() : real;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

// Writes data beside target under a unique name, then renames it over target.
bool replaceFile(const fs::path& target, std::string_view data, const mode_t* mode) {
    static std::atomic<unsigned> counter{0};
    fs::path temp = target;
    temp.replace_filename("." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "." +
                          std::to_string(counter.fetch_add(1)));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data) && (!mode || ::fchmod(fd, *mode) == 0) && ::fdatasync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool validName(std::string_view s) {
    return !s.empty() && s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

} // namespace

bool findProfileString(const fs::path& file, std::string_view section, std::string_view key, std::string& out) {
    // Buffers reused by every read of this thread; a huge file read once does not pin its size.
    thread_local Buffer buffer;
    thread_local std::string decoded;
    struct Shrink {
        ~Shrink() {
            if (buffer.capacity > kKeepBuffer) buffer = Buffer{};
            if (decoded.capacity() > kKeepBuffer) std::string().swap(decoded);
        }
    } shrink;
    if (readFileFast(file, buffer) != ReadResult::Ok) return false;
    std::string_view bytes = buffer.view();
    Encoding enc = detectEncoding(bytes);
    if (enc == Encoding::Utf16Le) {
        decoded.clear();
        utf16ToUtf8(bytes, 2, bytes.size(), decoded);
        bytes = decoded;
    } else {
        bytes.remove_prefix(bomSize(enc));
    }
    std::string_view value;
    if (!findInText(bytes, trim(section), trim(key), value)) return false;
    value = unquote(value);
    out.assign(cutValue(value.substr(0, value.find('\0'))));
    return true;
}

std::string readProfileString(const fs::path& file, std::string_view section, std::string_view key,
                              std::string_view def) {
    std::string out;
    if (findProfileString(file, section, key, out)) return out;
    return std::string(cutValue(def));
}

bool writeProfileString(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (!validName(section) || section.find(']') != std::string_view::npos) return false;
    if (!validName(key) || key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';')
        return false;
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;

    fs::path target = writeTarget(file);
    std::lock_guard lock(pathMutex(target));

    Buffer buffer;
    mode_t mode = 0;
    ReadResult rr = readFile(target, buffer, &mode);
    std::string_view bytes = buffer.view();
    if (rr == ReadResult::Error) {
        debugf("ini: cannot read %s, not written", target.c_str());
        return false;
    }
    Encoding enc = detectEncoding(bytes);
    // UTF-16 holds only what UTF-8 can say: text that is not UTF-8 would not read back.
    if (enc == Encoding::Utf16Le && !(validUtf8(section) && validUtf8(key) && validUtf8(value))) return false;
    Lookup r = lookup(bytes, enc, section, key);

    std::string out;
    out.reserve(bytes.size() + section.size() + key.size() + value.size() + 8);
    auto emit = [&](std::string_view text) {
        if (enc != Encoding::Utf16Le) return void(out.append(text));
        if (out.size() % 2) out.push_back('\0'); // realign after a torn last code unit
        utf8ToUtf16(text, out);
    };
    std::string line;
    line.append(r.keyFound ? std::string_view(r.keyName) : key).append("=").append(value).append("\r\n");

    std::string_view all = bytes;
    if (r.keyFound) {
        out.append(all.substr(0, r.keyBegin));
        emit(line);
        out.append(all.substr(r.keyEnd));
    } else if (r.sectionFound) {
        out.append(all.substr(0, r.insertAt));
        if (r.insertAfterUnterminated) emit("\r\n");
        emit(line);
        out.append(all.substr(r.insertAt));
    } else {
        out.append(all);
        bool unterminated = all.size() > bomSize(enc);
        if (unterminated && enc == Encoding::Utf16Le)
            unterminated = all.size() % 2 || all.substr(all.size() - 2) != std::string_view("\n\0", 2);
        else if (unterminated)
            unterminated = all.back() != '\n';
        if (unterminated) emit("\r\n");
        std::string header;
        header.append("[").append(section).append("]\r\n");
        emit(header);
        emit(line);
    }
    if (rr == ReadResult::Ok && out == bytes) return true;
    if (!replaceFile(target, out, rr == ReadResult::Ok ? &mode : nullptr)) {
        debugf("ini: cannot write %s", target.c_str());
        return false;
    }
    return true;
}

int profileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > 1LL + INT_MAX) v = 1LL + INT_MAX; // saturate instead of overflowing
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

int readProfileInt(const fs::path& file, std::string_view section, std::string_view key) {
    return profileInt(readProfileString(file, section, key, "0"));
}

} // namespace kavrel::os
