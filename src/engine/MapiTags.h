#pragma once

#include <cstdint>

// The MAPI properties the exports read, by their 16-bit identifiers. The 0x8000 range holds the
// named properties that the store library maps to fixed numbers.
namespace engine::mapi {

inline constexpr std::uint32_t PrImportance = 0x0017;
inline constexpr std::uint32_t PrPriority = 0x0026;
inline constexpr std::uint32_t PrSensitivity = 0x0036;
inline constexpr std::uint32_t PrSubject = 0x0037;
inline constexpr std::uint32_t PrClientSubmitTime = 0x0039;
inline constexpr std::uint32_t PrSenderName = 0x0C1A;
inline constexpr std::uint32_t PrSenderEmailAddress = 0x0C1F;
inline constexpr std::uint32_t PrMessageDeliveryTime = 0x0E06;
inline constexpr std::uint32_t PrMessageFlags = 0x0E07;
inline constexpr std::uint32_t PrMessageSize = 0x0E08;
inline constexpr std::uint32_t PrBody = 0x1000;
inline constexpr std::uint32_t PrRtfCompressed = 0x1009;
inline constexpr std::uint32_t PrHtml = 0x1013;
inline constexpr std::uint32_t PrDisplayName = 0x3001;
inline constexpr std::uint32_t PrAddressType = 0x3002;
inline constexpr std::uint32_t PrEmailAddress = 0x3003;
inline constexpr std::uint32_t PrCreationTime = 0x3007;
inline constexpr std::uint32_t PrLastModificationTime = 0x3008;
inline constexpr std::uint32_t PrAttachFileName = 0x3704;
inline constexpr std::uint32_t PrAttachLongFileName = 0x3707;
inline constexpr std::uint32_t PrInternetCodePage = 0x3FDE;
inline constexpr std::uint32_t PrRecipientDisplayName = 0x5FF6;
inline constexpr std::uint32_t AppointmentLocation = 0x8208;
inline constexpr std::uint32_t AppointmentStartTime = 0x820D;
inline constexpr std::uint32_t AppointmentEndTime = 0x820E;
inline constexpr std::uint32_t AppointmentRecurrencePattern = 0x8232;

} // namespace engine::mapi
