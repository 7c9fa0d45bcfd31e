// The form "Dane dodatkowe" as the host's form engine reads it, and the byte layout
// of form templates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pim {

constexpr int32_t kReportFormNumber = 20012;
constexpr std::size_t kReportFormBytes = 595;

// Control ids the report's code refers to.
constexpr int16_t kMonthListId = 0x4102;
constexpr int16_t kGoodsGroupButtonId = 0x430F;
constexpr int16_t kOkButtonId = 0x5001;

extern const std::array<uint8_t, kReportFormBytes> kReportFormTemplate;

// A form template (little-endian): a 32-bit count of the bytes after it, a 16-bit
// count of the bytes after the next word, the number of control records, then the
// form record and the control records. A record: kind; for edit fields the words 38
// and 5; id, flags, key, column, row, width, height; a 32-bit 0; the caption with
// its NUL; for edit fields an 18-byte trailer that repeats the length limit.
namespace form {

enum Kind : uint16_t { kButton = 0, kCheckBox = 2, kLabel = 3, kEdit = 5, kList = 6, kForm = 0xFFFF };
constexpr uint16_t kEditsData = 0x0400;  // the control edits the data block

// One record; the caption is anything a string_view can be made of (the tests keep
// theirs in strings).
template <class Caption>
struct BasicRecord {
    uint16_t kind, id, flags, key, column, row, width, height;
    Caption caption;
    uint16_t limit = 0;  // edit fields: the maximum length
};
using Record = BasicRecord<std::string_view>;

template <class R>
constexpr std::size_t RecordBytes(const R &r) {
    const std::size_t bytes = 2 + 7 * 2 + 4 + std::string_view(r.caption).size() + 1;
    return r.kind == kEdit ? bytes + 4 + 18 : bytes;
}

// The template's bytes for the form record and its controls, records[0] the form.
template <class R>
constexpr std::size_t TemplateBytes(const R *records, std::size_t count) {
    std::size_t total = 8;
    for (std::size_t i = 0; i < count; ++i) total += RecordBytes(records[i]);
    return total;
}

// Writes the template into out, which holds TemplateBytes(records, count) bytes.
template <class R>
constexpr void Encode(const R *records, std::size_t count, uint8_t *out) {
    std::size_t at = 0;
    auto word = [&](uint16_t w) {
        out[at++] = static_cast<uint8_t>(w);
        out[at++] = static_cast<uint8_t>(w >> 8);
    };
    const std::size_t total = TemplateBytes(records, count);
    word(static_cast<uint16_t>(total - 4));
    word(static_cast<uint16_t>((total - 4) >> 16));
    word(static_cast<uint16_t>(total - 8));
    word(static_cast<uint16_t>(count - 1));
    for (std::size_t i = 0; i < count; ++i) {
        const R &r = records[i];
        word(r.kind);
        if (r.kind == kEdit) {
            word(38);
            word(5);
        }
        for (uint16_t w : {r.id, r.flags, r.key, r.column, r.row, r.width, r.height}) word(w);
        word(0);
        word(0);
        for (char c : std::string_view(r.caption)) out[at++] = static_cast<uint8_t>(c);
        out[at++] = 0;
        if (r.kind == kEdit) {
            for (int k = 0; k < 7; ++k) out[at++] = 0;
            for (uint16_t w : {r.limit, uint16_t{8}, uint16_t{0}, r.limit, uint16_t{1}}) word(w);
            out[at++] = 0;
        }
    }
}

}  // namespace form
}  // namespace pim
