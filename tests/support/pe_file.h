// A 32-bit PE image read from its file, without the Windows loader, so that the
// image's facts can be checked on any machine: headers, sections, imports,
// exports and the version resource. Every read is bounds-checked; a malformed
// file leaves `error` set.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

struct PeSection {
    std::string name;
    uint32_t virtualAddress, virtualSize, fileOffset, fileSize;
};

struct PeExports {
    uint32_t timeStamp = 0, base = 0, functionCount = 0, nameCount = 0;
    std::vector<uint32_t> functions;  // RVAs, index = ordinal - base; 0 for an empty slot
};

struct PeVersion {
    bool found = false;
    uint16_t fileVersion[4] = {}, productVersion[4] = {};
    uint32_t fileType = 0;
    std::map<std::string, std::string> strings;  // StringFileInfo values (ASCII / UTF-8)
    std::vector<uint32_t> translations;          // language in the low word, code page in the high
    uint16_t resourceLanguage = 0;
};

class PeFile {
public:
    explicit PeFile(const std::string &path);

    mutable std::string error;  // empty when the file read as a 32-bit PE image
    uint64_t fileSize = 0;
    uint16_t machine = 0, characteristics = 0, optionalMagic = 0;
    uint32_t entryPoint = 0;
    uint32_t timeStamp = 0, checkSum = 0;  // the file header's, the optional header's
    std::vector<PeSection> sections;

    // The image's checksum as the Windows loader computes it for a driver or a
    // system DLL: 16-bit sums of the file with the checksum field left out, plus the length.
    uint32_t ComputedCheckSum() const;

    // Data directory index (IMAGE_DIRECTORY_ENTRY_*): {rva, size}.
    std::pair<uint32_t, uint32_t> Directory(int index) const;
    // Imported functions per DLL (name upper-cased): names, or "#ordinal".
    std::map<std::string, std::set<std::string>> Imports();
    PeExports Exports();
    PeVersion Version();

private:
    template <class T>
    T Read(uint64_t offset) const;
    uint64_t Offset(uint32_t rva);  // file offset of an RVA; sets error when unmapped
    std::string String(uint32_t rva);
    void VersionNode(uint64_t at, uint64_t end, const std::string &parent, PeVersion &out);

    std::vector<uint8_t> bytes_;
    uint64_t checkSumOffset_ = 0;
    uint32_t directoryCount_ = 0;
    uint64_t directories_ = 0;
};

}  // namespace testing_support
