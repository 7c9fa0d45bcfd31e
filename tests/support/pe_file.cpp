#include "pe_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

namespace testing_support {

namespace {
constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kVersionResource = 16;
constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;
}  // namespace

template <class T>
T PeFile::Read(uint64_t offset) const {
    T value{};
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) {
        if (error.empty()) error = "read past the end of the file at " + std::to_string(offset);
        return value;
    }
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{bytes_[offset + i]} << (8 * i));
    return value;
}

PeFile::PeFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return;
    }
    bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fileSize = bytes_.size();
    if (Read<uint16_t>(0) != 0x5A4D) error = "no MZ header";
    const uint64_t pe = Read<uint32_t>(0x3C);
    if (Read<uint32_t>(pe) != 0x00004550) error = "no PE signature";
    if (!error.empty()) return;
    machine = Read<uint16_t>(pe + 4);
    const uint16_t sectionCount = Read<uint16_t>(pe + 6);
    timeStamp = Read<uint32_t>(pe + 8);
    const uint16_t optionalSize = Read<uint16_t>(pe + 20);
    characteristics = Read<uint16_t>(pe + 22);
    const uint64_t optional = pe + 24;
    optionalMagic = Read<uint16_t>(optional);
    if (optionalMagic != 0x10B) {
        error = "not a 32-bit optional header";
        return;
    }
    entryPoint = Read<uint32_t>(optional + 16);
    checkSumOffset_ = optional + 64;
    checkSum = Read<uint32_t>(checkSumOffset_);
    directoryCount_ = Read<uint32_t>(optional + 92);
    directories_ = optional + 96;
    for (uint64_t s = optional + optionalSize, i = 0; i < sectionCount; ++i, s += 40) {
        PeSection section;
        for (int c = 0; c < 8 && s + c < bytes_.size() && bytes_[s + c] != 0; ++c)
            section.name += static_cast<char>(bytes_[s + c]);
        section.virtualSize = Read<uint32_t>(s + 8);
        section.virtualAddress = Read<uint32_t>(s + 12);
        section.fileSize = Read<uint32_t>(s + 16);
        section.fileOffset = Read<uint32_t>(s + 20);
        sections.push_back(section);
    }
}

uint32_t PeFile::ComputedCheckSum() const {
    uint64_t sum = 0;
    for (uint64_t at = 0; at < bytes_.size(); at += 2) {
        if (at >= checkSumOffset_ && at < checkSumOffset_ + 4) continue;
        sum += bytes_[at] | (at + 1 < bytes_.size() ? bytes_[at + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint32_t>(((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF) + static_cast<uint32_t>(bytes_.size());
}

std::pair<uint32_t, uint32_t> PeFile::Directory(int index) const {
    if (static_cast<uint32_t>(index) >= directoryCount_) return {0, 0};
    return {Read<uint32_t>(directories_ + 8 * index), Read<uint32_t>(directories_ + 8 * index + 4)};
}

uint64_t PeFile::Offset(uint32_t rva) {
    for (const PeSection &s : sections)
        if (rva >= s.virtualAddress && rva - s.virtualAddress < std::max(s.virtualSize, s.fileSize))
            return uint64_t{s.fileOffset} + (rva - s.virtualAddress);
    if (error.empty()) error = "address " + std::to_string(rva) + " lies in no section";
    return bytes_.size();
}

std::string PeFile::String(uint32_t rva) {
    std::string out;
    for (uint64_t at = Offset(rva); at < bytes_.size() && bytes_[at] != 0; ++at) out += static_cast<char>(bytes_[at]);
    return out;
}

std::map<std::string, std::set<std::string>> PeFile::Imports() {
    std::map<std::string, std::set<std::string>> out;
    const uint32_t rva = Directory(1).first;
    if (rva == 0) return out;
    for (uint64_t d = Offset(rva); error.empty() && Read<uint32_t>(d + 12) != 0; d += 20) {
        std::string dll = String(Read<uint32_t>(d + 12));
        std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::toupper(c); });
        auto &functions = out[dll];
        const uint32_t lookup = Read<uint32_t>(d) != 0 ? Read<uint32_t>(d) : Read<uint32_t>(d + 16);
        for (uint64_t t = Offset(lookup); error.empty(); t += 4) {
            const uint32_t thunk = Read<uint32_t>(t);
            if (thunk == 0) break;
            if ((thunk & 0x80000000u) != 0) {
                std::string ordinal(1, '#');
                ordinal += std::to_string(thunk & 0xFFFFu);
                functions.insert(ordinal);
            } else
                functions.insert(String(thunk + 2));
        }
    }
    return out;
}

PeExports PeFile::Exports() {
    PeExports out;
    const uint32_t rva = Directory(0).first;
    if (rva == 0) return out;
    const uint64_t at = Offset(rva);
    out.timeStamp = Read<uint32_t>(at + 4);
    out.base = Read<uint32_t>(at + 16);
    out.functionCount = Read<uint32_t>(at + 20);
    out.nameCount = Read<uint32_t>(at + 24);
    const uint64_t functions = Offset(Read<uint32_t>(at + 28));
    for (uint32_t i = 0; i < out.functionCount && i < 0x10000 && error.empty(); ++i)
        out.functions.push_back(Read<uint32_t>(functions + 4 * i));
    return out;
}

// One node of the version tree: length, value length, type, UTF-16 key, the value
// and the children, each aligned to 4 bytes from the start of the resource.
void PeFile::VersionNode(uint64_t at, uint64_t end, const std::string &parent, PeVersion &out) {
    auto align = [&](uint64_t offset) { return at + ((offset - at + 3) & ~uint64_t{3}); };
    const uint64_t start = at;
    const uint16_t length = Read<uint16_t>(at);
    const uint16_t valueLength = Read<uint16_t>(at + 2);
    const uint16_t type = Read<uint16_t>(at + 4);
    if (length < 6 || start + length > end) {
        if (error.empty()) error = "a version node runs past its parent";
        return;
    }
    std::string key;
    uint64_t p = at + 6;
    for (uint16_t c; p + 2 <= start + length && (c = Read<uint16_t>(p)) != 0; p += 2)
        key += c < 0x80 ? static_cast<char>(c) : '?';
    p = align(p + 2);
    const uint64_t valueBytes = type == 1 ? uint64_t{valueLength} * 2 : valueLength;
    if (key == "VS_VERSION_INFO" && valueBytes >= 52 && Read<uint32_t>(p) == kFixedInfoSignature) {
        out.found = true;
        const uint32_t fileMs = Read<uint32_t>(p + 8), fileLs = Read<uint32_t>(p + 12);
        const uint32_t productMs = Read<uint32_t>(p + 16), productLs = Read<uint32_t>(p + 20);
        const uint32_t words[2][2] = {{fileMs, fileLs}, {productMs, productLs}};
        for (int i = 0; i < 2; ++i) {
            uint16_t *version = i == 0 ? out.fileVersion : out.productVersion;
            version[0] = static_cast<uint16_t>(words[i][0] >> 16), version[1] = static_cast<uint16_t>(words[i][0]);
            version[2] = static_cast<uint16_t>(words[i][1] >> 16), version[3] = static_cast<uint16_t>(words[i][1]);
        }
        out.fileType = Read<uint32_t>(p + 36);
    } else if (type == 1 && parent.size() == 8) {  // a string of a StringFileInfo table
        std::string value;
        for (uint64_t c = 0; c + 1 < valueLength; ++c) {
            const uint16_t ch = Read<uint16_t>(p + 2 * c);
            if (ch < 0x80) {
                value += static_cast<char>(ch);
            } else if (ch < 0x800) {
                value += static_cast<char>(0xC0 | (ch >> 6)), value += static_cast<char>(0x80 | (ch & 0x3F));
            } else {
                value += static_cast<char>(0xE0 | (ch >> 12));
                value += static_cast<char>(0x80 | ((ch >> 6) & 0x3F)), value += static_cast<char>(0x80 | (ch & 0x3F));
            }
        }
        out.strings[key] = value;
    } else if (key == "Translation") {
        for (uint64_t v = 0; v + 4 <= valueBytes; v += 4) out.translations.push_back(Read<uint32_t>(p + v));
    }
    for (uint64_t child = align(p + valueBytes); child + 6 <= start + length && error.empty();) {
        const uint16_t childLength = Read<uint16_t>(child);
        if (childLength == 0) break;
        VersionNode(child, start + length, key, out);
        child += (childLength + 3u) & ~3u;
    }
}

PeVersion PeFile::Version() {
    PeVersion out;
    const uint32_t root = Directory(kResourceDirectory).first;
    if (root == 0) return out;
    const uint64_t base = Offset(root);
    // The first entry of a resource directory that matches `id` (any when id is 0):
    // its offset from the root, and its id.
    auto entry = [&](uint64_t directory, uint32_t id, uint32_t &foundId) -> uint32_t {
        const uint32_t count = Read<uint16_t>(directory + 12) + Read<uint16_t>(directory + 14);
        for (uint32_t i = 0; i < count && error.empty(); ++i) {
            const uint64_t e = directory + 16 + 8 * i;
            const uint32_t name = Read<uint32_t>(e);
            if (id == 0 || name == id) {
                foundId = name;
                return Read<uint32_t>(e + 4);
            }
        }
        return 0;
    };
    uint32_t id = 0;
    const uint32_t type = entry(base, kVersionResource, id);
    if ((type & 0x80000000u) == 0) return out;
    const uint32_t name = entry(base + (type & 0x7FFFFFFFu), 0, id);
    if ((name & 0x80000000u) == 0) return out;
    const uint32_t language = entry(base + (name & 0x7FFFFFFFu), 0, id);
    if ((language & 0x80000000u) != 0 || language == 0) return out;
    out.resourceLanguage = static_cast<uint16_t>(id);
    const uint64_t data = base + language;
    const uint64_t at = Offset(Read<uint32_t>(data));
    const uint32_t size = Read<uint32_t>(data + 4);
    if (error.empty()) VersionNode(at, at + size, "", out);
    return out;
}

}  // namespace testing_support
