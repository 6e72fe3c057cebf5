// The JSON description format: property forms, shorthands, options and the errors that name the
// offending element.
#include "JsonLoader.h"

#include "Bytes.h"

#include <gtest/gtest.h>

using namespace storegen;

namespace {

// Parses one property given as JSON text inside a minimal description.
Property parseOne(const char* propertyJson)
{
    const QByteArray json =
        QByteArray(R"({"folders": [{"name": "f", "messages": [{"properties": [)") + propertyJson + "]}]}]}";
    const StoreDescription d = JsonLoader::parse(json);
    return d.folders.at(0).messages.at(0).properties.back();
}

TEST(JsonLoader, PropertyFormsGiveTheStoredBytes)
{
    struct Case
    {
        const char* json;
        std::uint16_t id;
        PropertyType type;
        QByteArray value;
    };
    const Case cases[] = {
        {R"({"tag": "0x0E07", "type": "int32", "value": 1})", 0x0E07, PropertyType::Integer32,
         QByteArray("\1\0\0\0", 4)},
        {R"({"tag": "0x0E070003", "value": "0x10"})", 0x0E07, PropertyType::Integer32,
         QByteArray("\x10\0\0\0", 4)},
        {R"({"tag": 23, "type": "int16", "value": 65535})", 0x0017, PropertyType::Integer16,
         QByteArray("\xFF\xFF", 2)},
        {R"({"tag": "0x0E1B", "type": "bool", "value": true})", 0x0E1B, PropertyType::Boolean,
         QByteArray("\1", 1)},
        {R"({"tag": "0x0039", "type": "time", "value": "1601-01-01T00:00:00Z"})", 0x0039, PropertyType::Time,
         QByteArray(8, '\0')},
        {R"({"tag": "0x0039", "type": "time", "value": "1970-01-01T00:00:01Z"})", 0x0039, PropertyType::Time,
         [] {
             QByteArray b;
             bytes::append64(b, 116444736010000000ull);
             return b;
         }()},
        {R"({"tag": "0x0037", "type": "unicode", "value": "Grü"})", 0x0037, PropertyType::Unicode,
         QByteArray("G\0r\0\xFC\0", 6)},
        {R"({"tag": "0x0037", "type": "unicode", "repeat": {"text": "ab", "size": 3}})", 0x0037,
         PropertyType::Unicode, QByteArray("a\0b\0a\0", 6)},
        {R"({"tag": "0x1013", "type": "binary", "hex": "00ff10"})", 0x1013, PropertyType::Binary,
         QByteArray("\0\xFF\x10", 3)},
        {R"({"tag": "0x1013", "type": "binary", "base64": "aGk="})", 0x1013, PropertyType::Binary,
         QByteArray("hi")},
        {R"({"tag": "0x1013", "type": "binary", "repeat": {"text": "xyz", "size": 7}})", 0x1013,
         PropertyType::Binary, QByteArray("xyzxyzx")},
        {R"({"tag": "0x0070", "type": "string8", "hex": "47fc"})", 0x0070, PropertyType::String8,
         QByteArray("G\xFC")},
        {R"({"tag": "0x0070", "type": "binary", "value": ""})", 0x0070, PropertyType::Binary, QByteArray()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const Property p = parseOne(c.json);
        EXPECT_FALSE(p.named);
        EXPECT_EQ(p.id, c.id);
        EXPECT_EQ(p.type, c.type);
        EXPECT_EQ(p.value, c.value);
    }
}

TEST(JsonLoader, TextsAreLeftForTheWriterToEncode)
{
    // Shorthands follow the store's string type, explicit types stay; 8-bit text is encoded in
    // the store's code page when written, raw bytes are kept as given.
    const StoreDescription d = JsonLoader::parse(R"({"folders": [{"name": "f", "messages": [
        {"subject": "Grü", "properties": [{"tag": "0x0070", "type": "string8", "value": "Grü"},
                                           {"tag": "0x0071", "type": "unicode", "value": "Grü"}]}]}]})");
    const std::vector<Property>& p = d.folders.at(0).messages.at(0).properties;
    ASSERT_EQ(p.size(), 4u);
    const QByteArray utf16("G\0r\0\xFC\0", 6);
    EXPECT_EQ(p[1].id, 0x0037);
    EXPECT_TRUE(p[1].encodeOnWrite);
    EXPECT_EQ(p[1].type, PropertyType::Unicode);
    EXPECT_TRUE(p[2].encodeOnWrite);
    EXPECT_EQ(p[2].type, PropertyType::String8);
    EXPECT_EQ(p[2].value, utf16);
    EXPECT_FALSE(p[3].encodeOnWrite);
    EXPECT_EQ(p[3].value, utf16);
}

TEST(JsonLoader, NamedPropertiesKeepTheirSetAndNumber)
{
    const Property appointment =
        parseOne(R"({"named": {"set": "appointment", "lid": "0x820D"}, "type": "time", "value": 5})");
    EXPECT_TRUE(appointment.named);
    EXPECT_EQ(appointment.propertySet, propertyset::appointment());
    EXPECT_EQ(appointment.lid, 0x820Du);
    const Property custom = parseOne(
        R"({"named": {"set": "{00020329-0000-0000-C000-000000000046}", "lid": 7}, "type": "int32", "value": 1})");
    EXPECT_EQ(custom.propertySet, QUuid(QStringLiteral("{00020329-0000-0000-C000-000000000046}")));
}

TEST(JsonLoader, ShorthandsOptionsAndCounts)
{
    const StoreDescription d = JsonLoader::parse(R"({
        "type": "pst", "format": "4k", "encryption": "compressible", "displayName": "Box",
        "folders": [{"name": "Top", "role": "ipmSubtree", "containerClass": "IPF.Note", "folders": [{"name": "Deep"}],
          "messages": [{"class": "IPM.Contact", "subject": "s", "count": 3,
            "recipients": [{"type": "cc", "name": "Bob", "email": "bob@example.com"}],
            "attachments": [{"filename": "report.final.pdf", "mimeType": "application/pdf", "data": "abc"},
                            {"method": "embedded", "message": {"subject": "inner"}},
                            {"method": "reference", "filename": "x", "path": "\\\\s\\x"},
                            {"method": "ole"}, {"method": "ole", "data": "bytes"}],
            "properties": [{"tag": "0x3FFD", "absent": true}]}]}]})");
    EXPECT_EQ(d.options.kind, StoreKind::Personal);
    EXPECT_EQ(d.options.format, FileFormat::Unicode4k);
    EXPECT_EQ(d.options.encryption, Encryption::Compressible);
    EXPECT_EQ(d.options.codePage, 1252u);
    EXPECT_EQ(d.displayName, QStringLiteral("Box"));
    const StoreDescription ansi =
        JsonLoader::parse(R"({"format": "ansi", "encryption": "high", "codePage": 932})");
    EXPECT_EQ(ansi.options.format, FileFormat::Ansi);
    EXPECT_EQ(ansi.options.encryption, Encryption::High);
    EXPECT_EQ(ansi.options.codePage, 932u);
    const Folder& top = d.folders.at(0);
    EXPECT_EQ(top.role, FolderRole::IpmSubtree);
    EXPECT_EQ(top.folders.at(0).name, QStringLiteral("Deep"));
    ASSERT_EQ(top.messages.size(), 3u);
    const Message& m = top.messages.at(0);
    EXPECT_EQ(m.properties.at(0).id, 0x001A);
    ASSERT_EQ(m.recipients.size(), 1u);
    EXPECT_EQ(m.recipients[0].properties.at(0).value, QByteArray("\2\0\0\0", 4));
    ASSERT_EQ(m.attachments.size(), 5u);
    EXPECT_EQ(m.attachments[0].data, QByteArray("abc"));
    EXPECT_EQ(m.attachments[1].method, AttachMethod::EmbeddedMessage);
    ASSERT_TRUE(m.attachments[1].message);
    EXPECT_EQ(m.attachments[2].method, AttachMethod::ByReference);
    EXPECT_EQ(m.attachments[3].method, AttachMethod::OleObject);
    EXPECT_TRUE(m.attachments[3].data.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")); // a compound file
    EXPECT_EQ(m.attachments[4].data, QByteArray("bytes"));
    EXPECT_TRUE(m.properties.back().absent);
    EXPECT_EQ(m.properties.back().id, 0x3FFD);
}

TEST(JsonLoader, ErrorsNameTheElement)
{
    const struct
    {
        const char* json;
        const char* mentions;
    } cases[] = {
        {"{", "JSON"},
        {R"({"type": "nst"})", "type"},
        {R"({"format": "ansi32"})", "format"},
        {R"({"encryption": "strong"})", "encryption"},
        {R"({"codePage": 12345})", "codePage"},
        {R"({"codePage": 1200})", "codePage"},
        {R"({"codePage": "many"})", "codePage"},
        {R"({"folders": [{"role": "outbox"}]})", "folders[0]"},
        {R"({"folders": [{"messages": [{"properties": [{"type": "int32", "value": 1}]}]}]})",
         "folders[0].messages[0].properties[0]"},
        {R"({"folders": [{"messages": [{"properties": [{"tag": "0x1", "type": "int128"}]}]}]})", "int128"},
        {R"({"folders": [{"messages": [{"properties": [{"tag": "0x39", "type": "time", "value": "2024-13-45"}]}]}]})",
         "bad date"},
        {R"({"folders": [{"messages": [{"properties": [{"tag": "0x39", "type": "int32", "value": "many"}]}]}]})",
         "number"},
        {R"({"folders": [{"messages": [{"attachments": [{"method": "oleobject"}]}]}]})", "attachments[0]"},
        {R"({"folders": [{"messages": [{"properties": [{"named": {"set": "public", "lid": 1}, "absent": true}]}]}]})",
         "absent"},
        {R"({"folders": [{"messages": [{"properties": [{"named": {"set": "nope", "lid": 1}, "type": "int32", "value": 1}]}]}]})",
         "nope"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        try {
            JsonLoader::parse(QByteArray(c.json));
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
        }
    }
}

} // namespace
