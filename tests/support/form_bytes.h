// Form templates for tests, in the host's layout, written by the plug-in's own
// encoder from records whose captions the test keeps in strings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "form_template.h"

namespace testing_support {

using FormRecord = pim::form::BasicRecord<std::string>;

// records[0] is the form record.
inline std::string FormTemplateBytes(const std::vector<FormRecord> &records) {
    std::string bytes(pim::form::TemplateBytes(records.data(), records.size()), '\0');
    pim::form::Encode(records.data(), records.size(), reinterpret_cast<uint8_t *>(bytes.data()));
    return bytes;
}

}  // namespace testing_support
