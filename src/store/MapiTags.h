#pragma once

#include <QString>
#include <cstdint>

// The MAPI properties the exports and the conversion read, by their 16-bit identifiers. The 0x8000 range
// holds the named properties that the store library maps to fixed numbers.
namespace store::mapi {

inline constexpr std::uint32_t PrImportance = 0x0017;
inline constexpr std::uint32_t PrPriority = 0x0026;
inline constexpr std::uint32_t PrSensitivity = 0x0036;
inline constexpr std::uint32_t PrSubject = 0x0037;
inline constexpr std::uint32_t PrClientSubmitTime = 0x0039;
inline constexpr std::uint32_t PrSentRepresentingName = 0x0042;
inline constexpr std::uint32_t PrSentRepresentingAddressType = 0x0064;
inline constexpr std::uint32_t PrSentRepresentingEmailAddress = 0x0065;
inline constexpr std::uint32_t PrConversationTopic = 0x0070;
inline constexpr std::uint32_t PrConversationIndex = 0x0071;
inline constexpr std::uint32_t PrTransportMessageHeaders = 0x007D;
inline constexpr std::uint32_t PrRecipientType = 0x0C15;
inline constexpr std::uint32_t PrDisplayCc = 0x0E03;
inline constexpr std::uint32_t PrDisplayTo = 0x0E04;
inline constexpr std::uint32_t PrSenderName = 0x0C1A;
inline constexpr std::uint32_t PrSenderAddressType = 0x0C1E;
inline constexpr std::uint32_t PrSenderEmailAddress = 0x0C1F;
inline constexpr std::uint32_t PrMessageDeliveryTime = 0x0E06;
inline constexpr std::uint32_t PrMessageFlags = 0x0E07;
inline constexpr std::uint32_t PrMessageSize = 0x0E08;
inline constexpr std::uint32_t PrBody = 0x1000;
inline constexpr std::uint32_t PrRtfCompressed = 0x1009;
inline constexpr std::uint32_t PrHtml = 0x1013;
inline constexpr std::uint32_t PrInternetMessageId = 0x1035;
inline constexpr std::uint32_t PrInternetReferences = 0x1039;
inline constexpr std::uint32_t PrInReplyTo = 0x1042;
inline constexpr std::uint32_t PrDisplayName = 0x3001;
inline constexpr std::uint32_t PrAddressType = 0x3002;
inline constexpr std::uint32_t PrEmailAddress = 0x3003;
inline constexpr std::uint32_t PrCreationTime = 0x3007;
inline constexpr std::uint32_t PrLastModificationTime = 0x3008;
inline constexpr std::uint32_t PrAttachData = 0x3701;
inline constexpr std::uint32_t PrAttachFileName = 0x3704;
inline constexpr std::uint32_t PrAttachLongFileName = 0x3707;
inline constexpr std::uint32_t PrAttachPathName = 0x3708;
inline constexpr std::uint32_t PrAttachLongPathName = 0x370D;
inline constexpr std::uint32_t PrAttachMimeTag = 0x370E;
inline constexpr std::uint32_t PrAttachContentId = 0x3712;
inline constexpr std::uint32_t PrAttachContentLocation = 0x3713;
inline constexpr std::uint32_t PrSmtpAddress = 0x39FE;
inline constexpr std::uint32_t PrInternetCodePage = 0x3FDE;
inline constexpr std::uint32_t PrMessageCodePage = 0x3FFD;
inline constexpr std::uint32_t PrSenderSmtpAddress = 0x5D01;
inline constexpr std::uint32_t PrSentRepresentingSmtpAddress = 0x5D02;
inline constexpr std::uint32_t PrRecipientDisplayName = 0x5FF6;
inline constexpr std::uint32_t PrAttachmentHidden = 0x7FFE;
inline constexpr std::uint32_t AppointmentLocation = 0x8208;
inline constexpr std::uint32_t AppointmentStartTime = 0x820D;
inline constexpr std::uint32_t AppointmentEndTime = 0x820E;
inline constexpr std::uint32_t AppointmentRecurrencePattern = 0x8232;
inline constexpr std::uint32_t TaskStatus = 0x8101;
inline constexpr std::uint32_t TaskPercentComplete = 0x8102;
inline constexpr std::uint32_t TaskDueDate = 0x8105;
inline constexpr std::uint32_t JournalType = 0x8700;
inline constexpr std::uint32_t JournalStart = 0x8706;
inline constexpr std::uint32_t JournalTypeDescription = 0x8712;
inline constexpr std::uint32_t NoteColor = 0x8B00;

// Outlook keeps a subject's prefix length in a marker before the text: U+0001 and one more
// character. The marker is not part of the subject.
inline QString withoutSubjectMarker(QString subject)
{
    if (subject.size() >= 2 && subject.at(0) == QChar(0x0001))
        subject.remove(0, 2);
    return subject;
}

} // namespace store::mapi
