// The form "Dane dodatkowe" as the host's form engine reads it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace pim {

constexpr int32_t kReportFormNumber = 20012;
constexpr std::size_t kReportFormBytes = 595;

// Control ids the report's code refers to.
constexpr int16_t kMonthListId = 0x4102;
constexpr int16_t kGoodsGroupButtonId = 0x430F;
constexpr int16_t kOkButtonId = 0x5001;

extern const std::array<uint8_t, kReportFormBytes> kReportFormTemplate;

}  // namespace pim
