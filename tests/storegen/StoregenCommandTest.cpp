// The storegen command as scripts use it: its three forms, refusing to overwrite, determinism.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Result
{
    int exitCode;
    QByteArray errors;
};

Result run(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(STOREGEN_PATH), arguments);
    if (!process.waitForFinished(300000))
        return {-1, "timeout"};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError()};
}

QByteArray digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QByteArray headerBytes(const QString& path, qint64 offset, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.read(size);
}

class StoregenCommand : public ::testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(StoregenCommand, SameSeedGivesTheSameBytesAndAnotherSeedOthers)
{
    const QStringList variants[] = {
        {},
        {QStringLiteral("--format"), QStringLiteral("ansi"), QStringLiteral("--encryption"),
         QStringLiteral("high"), QStringLiteral("--codepage"), QStringLiteral("932")},
    };
    for (const QStringList& options : variants) {
        SCOPED_TRACE(options.join(QLatin1Char(' ')).toStdString());
        auto write = [&](const char* seed, const char* name) {
            return run(QStringList{QStringLiteral("--random"), QStringLiteral("--messages"),
                                   QStringLiteral("200"), QStringLiteral("--seed"), QString::fromLatin1(seed),
                                   QStringLiteral("--force"), QStringLiteral("-o"), path(name)} +
                       options)
                .exitCode;
        };
        ASSERT_EQ(write("5", "a.ost"), 0);
        ASSERT_EQ(write("5", "b.ost"), 0);
        ASSERT_EQ(write("6", "c.ost"), 0);
        EXPECT_EQ(digest(path("a.ost")), digest(path("b.ost")));
        EXPECT_NE(digest(path("a.ost")), digest(path("c.ost")));
    }
}

TEST_F(StoregenCommand, FormatAndEncryptionOptionsReachTheHeader)
{
    // Version and encryption byte: 23 and 513 in Unicode stores, 14 and 461 in ANSI ones.
    const struct
    {
        const char* format;
        const char* encryption;
        std::uint16_t version;
        qint64 cryptAt;
        char crypt;
    } cases[] = {{"unicode", "high", 23, 513, 2},
                 {"4k", "compressible", 36, 513, 1},
                 {"ansi", "none", 14, 461, 0},
                 {"ansi", "high", 14, 461, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.encryption);
        ASSERT_EQ(run({QStringLiteral("--demo"), QStringLiteral("--force"), QStringLiteral("--format"),
                       QString::fromLatin1(c.format), QStringLiteral("--encryption"),
                       QString::fromLatin1(c.encryption), QStringLiteral("-o"), path("h.ost")})
                      .exitCode,
                  0);
        const QByteArray version = headerBytes(path("h.ost"), 10, 2);
        ASSERT_EQ(version.size(), 2);
        EXPECT_EQ(static_cast<std::uint8_t>(version[0]) | (static_cast<std::uint8_t>(version[1]) << 8),
                  c.version);
        EXPECT_EQ(headerBytes(path("h.ost"), c.cryptAt, 1), QByteArray(1, c.crypt));
    }
}

TEST_F(StoregenCommand, ContentTypeFollowsTheTypeOption)
{
    const struct
    {
        const char* type;
        QByteArray expected;
    } cases[] = {{nullptr, "SO"}, {"ost", "SO"}, {"pst", "SM"}};
    int n = 0;
    for (const auto& c : cases) {
        const QString out = m_dir.filePath(QStringLiteral("t%1.ost").arg(n++));
        QStringList args{QStringLiteral("--demo"), QStringLiteral("-o"), out};
        if (c.type)
            args << QStringLiteral("--type") << QString::fromLatin1(c.type);
        ASSERT_EQ(run(args).exitCode, 0);
        EXPECT_EQ(headerBytes(out, 0, 4), QByteArray("!BDN"));
        EXPECT_EQ(headerBytes(out, 8, 2), c.expected);
    }
}

TEST_F(StoregenCommand, RefusesToReplaceAFileUnlessForced)
{
    QFile existing(path("keep.ost"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("precious");
    existing.close();

    const Result refused = run({QStringLiteral("--demo"), QStringLiteral("-o"), path("keep.ost")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(refused.errors.isEmpty());
    EXPECT_EQ(headerBytes(path("keep.ost"), 0, 8), QByteArray("precious"));

    EXPECT_EQ(
        run({QStringLiteral("--demo"), QStringLiteral("--force"), QStringLiteral("-o"), path("keep.ost")})
            .exitCode,
        0);
    EXPECT_EQ(headerBytes(path("keep.ost"), 0, 4), QByteArray("!BDN"));
    // Written under a temporary name and renamed: nothing else is left behind.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.ost")});
}

TEST_F(StoregenCommand, WritesAJsonDescription)
{
    QFile json(path("d.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(R"({"type": "pst", "folders": [{"name": "Top of Personal Folders", "folders": [
        {"name": "Inbox", "containerClass": "IPF.Note", "messages": [
          {"subject": "hello", "plainBody": "body", "count": 3,
           "properties": [{"tag": "0x0E07", "type": "int32", "value": 1}]}]}]}]})");
    json.close();
    EXPECT_EQ(run({path("d.json"), QStringLiteral("-o"), path("d.pst")}).exitCode, 0);
    EXPECT_EQ(headerBytes(path("d.pst"), 8, 2), QByteArray("SM"));
}

TEST_F(StoregenCommand, BadInvocationsFailWithoutWriting)
{
    QFile json(path("bad.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(
        R"({"folders": [{"name": "x", "messages": [{"properties": [{"tag": "0x0037", "type": "nonsense"}]}]}]})");
    json.close();
    const struct
    {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{QStringLiteral("--random"), QStringLiteral("-o"), path("x.ost")}, 2},
        {{QStringLiteral("--demo")}, 2},
        {{QStringLiteral("--demo"), QStringLiteral("--random"), QStringLiteral("--messages"),
          QStringLiteral("1"), QStringLiteral("-o"), path("x.ost")},
         2},
        {{QStringLiteral("--demo"), QStringLiteral("--format"), QStringLiteral("ansi32"),
          QStringLiteral("-o"), path("x.ost")},
         2},
        {{QStringLiteral("--demo"), QStringLiteral("--encryption"), QStringLiteral("strong"),
          QStringLiteral("-o"), path("x.ost")},
         2},
        {{QStringLiteral("--demo"), QStringLiteral("--codepage"), QStringLiteral("12345"),
          QStringLiteral("-o"), path("x.ost")},
         2},
        {{QStringLiteral("--demo"), QStringLiteral("-o"), path("x.ost"), QStringLiteral("--codepage")}, 2},
        {{path("missing.json"), QStringLiteral("-o"), path("x.ost")}, 1},
        {{path("bad.json"), QStringLiteral("-o"), path("x.ost")}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(run(c.args).exitCode, c.exitCode);
        EXPECT_FALSE(QFile::exists(path("x.ost")));
    }
}

} // namespace
