// The plug-in's exported entry points, its menu command and the install notice.
#include <cstring>

#include "frame.h"
#include "host_imports.h"
#include "mazovia.h"
#include "platform.h"

namespace pim {
namespace {

constexpr const char *kDisplayName =
    "\x02"
    "EXPORT DANYCH O SPRZEDAŻY DO PRODUCENTA.\x01\nMENU:\n  Miesiące->Eksport-import danych->\n  Eksport do "
    "innych programów->WYŚLIJ RAPORT O SPRZEDAŻY"_mz;

constexpr const char *kSettingsFile = "RuzozavURivuvorur.ini";
constexpr const char *kSettingsSection = "RuzozavURivuvorur";
constexpr const char *kNoticeKey = "Pytaj";
constexpr int32_t kProfileRead = 8;
constexpr int32_t kProfileWrite = 9;
constexpr int32_t kInstallNoticeId = 1668;

bool CheckHostCompatibility() {
    if (host::VeldarGetVersion() != kRequiredHostVersion) return false;
    return RegisterTableSizes() == 0;
}

}  // namespace

const MenuEntryRecord menuEntry = {
    0x42D30000u, "WYŚLIJ RAPORT O SPRZEDAŻY"_mz, static_cast<uint16_t>(kReportCommandId), 0, &OnReportCommand, 0,
};

char *CopyDisplayName(char *buffer) {
    std::memcpy(buffer, kDisplayName, std::strlen(kDisplayName) + 1);
    return buffer;
}

void ShowInstallNotice() {
    // The host reads "%d" as a 32-bit int; reading into the 16-bit flag itself would
    // overwrite the two bytes beside it.
    int32_t stored = 0;
    if (host::VeldarProfileValue(kSettingsFile, kProfileRead, kSettingsSection, kNoticeKey, "%d", &stored) != 0)
        stored = 0;
    int16_t noticeFlag = static_cast<int16_t>(stored);
    if (noticeFlag != 0) return;

    char displayName[kDisplayNameBuffer];
    CopyDisplayName(displayName);
    char text[200];
    platform::FormatText(text, sizeof text, "Zainstalowano wtyczkę do programu:\n%s"_mz, displayName);
    host::VeldarShowNotice(kInstallNoticeId, &noticeFlag, 0, text);
    host::VeldarProfileValue(kSettingsFile, kProfileWrite, kSettingsSection, kNoticeKey, "%d",
                             static_cast<int32_t>(noticeFlag));
}

}  // namespace pim

using namespace pim;

extern "C" int32_t HOST_CONV_STDCALL PluginConnect(void *hostPointer, char *nameBuffer) {
    if (hostPointer == nullptr) {
        host::VeldarRemoveMenuCommand(kReportCommandId);
        return 0;
    }
    if (nameBuffer != nullptr) CopyDisplayName(nameBuffer);
    platform::InstallExceptionTranslator(HostExceptionTranslator());
    return CheckHostCompatibility() ? 0 : -1;
}

extern "C" int32_t HOST_CONV_STDCALL PluginSetup(int32_t flag) {
    if (flag == 0) {
        host::VeldarAddMenuCommand(&menuEntry);
        ShowInstallNotice();
    } else {
        ShowRefusalReport();
    }
    return 0;
}

extern "C" void PluginHook(void) {}
