// The options file: the 938 bytes of ReportOptions, as they are in memory.
#include <cstring>

#include "host_imports.h"
#include "mazovia.h"
#include "report.h"

namespace pim {
namespace {

constexpr const char *kOptionsFile = "RuzozavURivuvorur.opc";
constexpr int32_t kShareDenyNone = 64;

void Warn(const char *text) { host::VeldarShowMessage("Uwaga"_mz, text, 1); }

HostFile *OpenOptionsFile(const char *mode) { return host::VeldarFileOpen(kOptionsFile, mode, kShareDenyNone, 0, -1); }

// A file this plug-in did not write may hold anything: every text ends inside its
// own field and the month is one of twelve. Nothing else is touched, so a file the
// plug-in wrote loads byte for byte.
template <std::size_t N>
void EndInside(char (&field)[N]) {
    if (std::memchr(field, '\0', N) == nullptr) field[N - 1] = '\0';
}

void MakeSafe(ReportOptions &o) {
    EndInside(o.outletShortName);
    EndInside(o.branchName);
    if (o.month > 11) o.month = 0;
}

}  // namespace

int32_t CRaportSprzPapierosow::LoadOptions() {
    std::memset(&options, 0, sizeof options);
    HostFile *file = OpenOptionsFile("rb");
    if (file == nullptr) {
        Warn("Błąd podczas otwierania pliku z opcjami raportu!\nNiektóre opcje zostaną zresetowane!"_mz);
        return 1;
    }
    if (host::VeldarFileRead(&options, 1, sizeof options, file) < sizeof options) {
        Warn("Błąd podczas czytania opcji raportu!\n Niektóre opcje zostaną zresetowane!"_mz);
        std::memset(&options, 0, sizeof options);
        host::VeldarFileClose(file);
        return 1;
    }
    host::VeldarFileClose(file);
    MakeSafe(options);
    return 0;
}

int32_t CRaportSprzPapierosow::SaveOptions() {
    const char *cannotWrite = "Nie można otworzyć pliku z opcjami raportu!\n Niektóre opcje nie zostaną zapisane!"_mz;
    HostFile *file = OpenOptionsFile("wb");
    if (file == nullptr) {
        Warn(cannotWrite);
        return 1;
    }
    // A short write or a failed close leaves a file that the next load resets: the
    // user is told now, while the choices are still on screen.
    const bool written = host::VeldarFileWrite(&options, sizeof options, 1, file) == 1;
    const bool closed = host::VeldarFileClose(file) == 0;
    if (!written || !closed) Warn(cannotWrite);
    return 1;
}

}  // namespace pim
