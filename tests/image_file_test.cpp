// pim.dll as it is shipped, read from its file (so natively too, without Wine):
// its size, exactly the documented imports (docs/runtime.md), no TLS directory
// and no delay-loaded DLL, nothing of a C++ runtime, the exports the host calls,
// and the version resource.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "pe_file.h"

#if defined(_WIN32)
#include "module.h"
#endif

using namespace testing_support;

namespace {

std::string ImagePath() {
#if defined(_WIN32)
    return standin::DefaultPluginPath();
#else
    return PIM_WIN32_IMAGE;  // the win32 tree's product
#endif
}

class ImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = ImagePath();
        if (std::FILE *f = std::fopen(path.c_str(), "rb"))
            std::fclose(f);
        else
            GTEST_SKIP() << "no pim.dll at " << path << " (build the win32 tree first)";
        image_ = std::make_unique<PeFile>(path);
        ASSERT_EQ(image_->error, "");
    }
    std::unique_ptr<PeFile> image_;
};

}  // namespace

TEST_F(ImageFile, IsASmall32BitDllWithTheRightEntryAndExports) {
    EXPECT_LE(image_->fileSize, 64u * 1024u);
    EXPECT_EQ(image_->machine, 0x14C) << "i386";
    EXPECT_NE(image_->characteristics & 0x2000, 0) << "a DLL";
    EXPECT_NE(image_->entryPoint, 0u);

    const PeExports exports = image_->Exports();
    EXPECT_EQ(exports.base, 30001u);
    EXPECT_EQ(exports.nameCount, 0u);
    ASSERT_EQ(exports.functions.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(exports.functions[i] != 0, i == 0 || i == 7 || i == 8) << "ordinal " << 30001 + i;
}

// The same sources give the same bytes: no build time in the headers or the export
// directory, and a checksum that is the image's own.
TEST_F(ImageFile, CarriesNoBuildTimeAndItsOwnChecksum) {
    EXPECT_EQ(image_->timeStamp, 0u);
    EXPECT_EQ(image_->Exports().timeStamp, 0u);
    EXPECT_EQ(image_->checkSum, image_->ComputedCheckSum());
}

TEST_F(ImageFile, ImportsExactlyTheDocumentedFunctions) {
    const std::map<std::string, std::set<std::string>> expected = {
        {"VELDAR.DLL", {"#30005"}},
        {"OTRAX.DLL", {"wsprintfA"}},
        {"USER32.DLL", {"MessageBoxA"}},
        {"KERNEL32.DLL", {"GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress", "RaiseException", "lstrcpyA"}},
        {"MSVCRT.DLL",
         {"_vsnprintf", "atol", "free", "malloc", "memchr", "realloc", "remove", "strchr", "strcpy", "strlen", "strrchr"}},
    };
    auto imports = image_->Imports();
    // The code's copies and clearings: an optimised build does them inline, a debug
    // build calls the runtime.
    for (const char *inlined : {"memcpy", "memset"}) imports["MSVCRT.DLL"].erase(inlined);
    EXPECT_EQ(imports, expected);
    EXPECT_EQ(image_->error, "");
}

TEST_F(ImageFile, HasNoTlsNoDelayLoadAndNothingOfACppRuntime) {
    EXPECT_EQ(image_->Directory(9).first, 0u) << "TLS directory";
    EXPECT_EQ(image_->Directory(13).first, 0u) << "delay-load directory";
    EXPECT_EQ(image_->Directory(3).first, 0u) << "exception directory";
    for (const PeSection &s : image_->sections) {
        for (const char *runtime : {".tls", ".CRT", ".eh_fram", ".gcc_exc", ".pdata", ".xdata"})
            EXPECT_NE(s.name, runtime);
        EXPECT_NE(s.name.rfind(".debug", 0), 0u) << "stripped: " << s.name;
        EXPECT_NE(s.name[0], '/') << "stripped: a long section name " << s.name;
    }
}

TEST_F(ImageFile, CarriesTheProjectVersionAndItsOriginalName) {
    const PeVersion version = image_->Version();
    EXPECT_EQ(image_->error, "");
    ASSERT_TRUE(version.found) << "no version resource";
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(PIM_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    for (const uint16_t *numbers : {version.fileVersion, version.productVersion}) {
        EXPECT_EQ(numbers[0], major);
        EXPECT_EQ(numbers[1], minor);
        EXPECT_EQ(numbers[2], patch);
        EXPECT_EQ(numbers[3], 0);
    }
    EXPECT_EQ(version.fileType, 2u) << "VFT_DLL";
    auto text = [&](const char *key) {
        auto it = version.strings.find(key);
        return it == version.strings.end() ? std::string("<none>") : it->second;
    };
    EXPECT_EQ(text("FileVersion"), PIM_VERSION);
    EXPECT_EQ(text("ProductVersion"), PIM_VERSION);
    EXPECT_EQ(text("OriginalFilename"), "PIM.DLL");
    EXPECT_EQ(text("FileDescription"), "Eksport danych o sprzedaży do producenta (wtyczka)");
    EXPECT_NE(text("ProductName"), "<none>");
    EXPECT_EQ(version.translations, std::vector<uint32_t>{0x04B00415u}) << "Polish, Unicode";
    EXPECT_EQ(version.resourceLanguage, 0x0415);
}
