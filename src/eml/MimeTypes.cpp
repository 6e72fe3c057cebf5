#include "eml/MimeTypes.h"

#include <array>
#include <utility>

namespace eml {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 52> kTypesByExtension{{
    {"7z", "application/x-7z-compressed"},
    {"avi", "video/x-msvideo"},
    {"bmp", "image/bmp"},
    {"csv", "text/csv"},
    {"doc", "application/msword"},
    {"docm", "application/vnd.ms-word.document.macroEnabled.12"},
    {"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"dot", "application/msword"},
    {"eml", "message/rfc822"},
    {"gif", "image/gif"},
    {"gz", "application/gzip"},
    {"htm", "text/html"},
    {"html", "text/html"},
    {"ics", "text/calendar"},
    {"jpe", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"jpg", "image/jpeg"},
    {"js", "text/javascript"},
    {"json", "application/json"},
    {"log", "text/plain"},
    {"m4a", "audio/mp4"},
    {"mov", "video/quicktime"},
    {"mp3", "audio/mpeg"},
    {"mp4", "video/mp4"},
    {"msg", "application/vnd.ms-outlook"},
    {"odp", "application/vnd.oasis.opendocument.presentation"},
    {"ods", "application/vnd.oasis.opendocument.spreadsheet"},
    {"odt", "application/vnd.oasis.opendocument.text"},
    {"pdf", "application/pdf"},
    {"png", "image/png"},
    {"pps", "application/vnd.ms-powerpoint"},
    {"ppt", "application/vnd.ms-powerpoint"},
    {"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"rar", "application/vnd.rar"},
    {"rtf", "application/rtf"},
    {"svg", "image/svg+xml"},
    {"tar", "application/x-tar"},
    {"tif", "image/tiff"},
    {"tiff", "image/tiff"},
    {"txt", "text/plain"},
    {"vcf", "text/vcard"},
    {"vsd", "application/vnd.visio"},
    {"wav", "audio/wav"},
    {"webp", "image/webp"},
    {"wmv", "video/x-ms-wmv"},
    {"xls", "application/vnd.ms-excel"},
    {"xlsm", "application/vnd.ms-excel.sheet.macroEnabled.12"},
    {"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"xml", "application/xml"},
    {"zip", "application/zip"},
    {"emf", "image/emf"},
    {"wmf", "image/wmf"},
}};

bool isTokenCharacter(QChar c)
{
    if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
        return false;
    return !QStringView(u"()<>@,;:\\\"/[]?=").contains(c);
}

} // namespace

QString MimeTypes::forFileName(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QString extension = fileName.mid(dot + 1).toLower();
        for (const auto& [suffix, type] : kTypesByExtension) {
            if (extension == QLatin1String(suffix))
                return QString::fromLatin1(type);
        }
    }
    return QStringLiteral("application/octet-stream");
}

bool MimeTypes::isValid(const QString& mimeType)
{
    const qsizetype slash = mimeType.indexOf(QLatin1Char('/'));
    if (slash <= 0 || slash == mimeType.size() - 1)
        return false;
    for (qsizetype i = 0; i < mimeType.size(); ++i) {
        if (i != slash && !isTokenCharacter(mimeType.at(i)))
            return false;
    }
    return true;
}

} // namespace eml
