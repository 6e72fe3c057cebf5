#include "CodePageEncoder.h"
#include "DemoMailbox.h"
#include "JsonLoader.h"
#include "RandomMailbox.h"
#include "StoreWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <optional>

using namespace storegen;

namespace {

const char kUsage[] = "usage: storegen DESCRIPTION.json -o FILE [--force]\n"
                      "       storegen --random --messages N [--seed S] -o FILE [--force]\n"
                      "       storegen --demo -o FILE [--force]\n"
                      "options for every form: [--format unicode|4k|ansi] [--type ost|pst]\n"
                      "                        [--encryption none|compressible|high] [--codepage N]\n";

int usage(const char* problem)
{
    std::fprintf(stderr, "storegen: %s\n%s", problem, kUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);

    QString output;
    QString description;
    bool random = false;
    bool demo = false;
    bool force = false;
    std::optional<std::uint64_t> messages;
    std::uint64_t seed = 1;
    std::optional<FileFormat> format;
    std::optional<StoreKind> kind;
    std::optional<Encryption> encryption;
    std::optional<std::uint32_t> codePage;

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == QLatin1String("-o")) {
            const auto v = value();
            if (!v)
                return usage("-o needs a file name");
            output = *v;
        } else if (a == QLatin1String("--random")) {
            random = true;
        } else if (a == QLatin1String("--demo")) {
            demo = true;
        } else if (a == QLatin1String("--force")) {
            force = true;
        } else if (a == QLatin1String("--messages") || a == QLatin1String("--seed")) {
            const auto v = value();
            bool ok = false;
            const std::uint64_t n = v ? v->toULongLong(&ok) : 0;
            if (!ok)
                return usage("--messages and --seed need a number");
            (a == QLatin1String("--seed") ? seed : messages.emplace()) = n;
        } else if (a == QLatin1String("--format")) {
            const auto v = value();
            format = v ? fileFormatNamed(*v) : std::nullopt;
            if (!format)
                return usage("--format is unicode, 4k or ansi");
        } else if (a == QLatin1String("--type")) {
            const auto v = value();
            if (v == QStringLiteral("ost"))
                kind = StoreKind::Offline;
            else if (v == QStringLiteral("pst"))
                kind = StoreKind::Personal;
            else
                return usage("--type is ost or pst");
        } else if (a == QLatin1String("--encryption")) {
            const auto v = value();
            encryption = v ? encryptionNamed(*v) : std::nullopt;
            if (!encryption)
                return usage("--encryption is none, compressible or high");
        } else if (a == QLatin1String("--codepage")) {
            const auto v = value();
            bool ok = false;
            const uint n = v ? v->toUInt(&ok) : 0;
            if (!ok || !CodePageEncoder::nameOf(n))
                return usage("--codepage needs the number of a Windows code page this system can encode");
            codePage = n;
        } else if (a.startsWith(QLatin1Char('-'))) {
            return usage("unknown option");
        } else if (description.isEmpty()) {
            description = a;
        } else {
            return usage("more than one description");
        }
    }
    if (output.isEmpty())
        return usage("missing -o FILE");
    if (int(random) + int(demo) + int(!description.isEmpty()) != 1)
        return usage("give exactly one of DESCRIPTION.json, --random, --demo");
    if (random && !messages)
        return usage("--random needs --messages N");

    try {
        if (!description.isEmpty()) {
            QFile file(description);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "storegen: cannot read %s\n", qPrintable(description));
                return 1;
            }
            StoreDescription d = JsonLoader::parse(file.readAll());
            d.options.format = format.value_or(d.options.format);
            d.options.kind = kind.value_or(d.options.kind);
            d.options.encryption = encryption.value_or(d.options.encryption);
            d.options.codePage = codePage.value_or(d.options.codePage);
            writeStore(d, output, force);
            return 0;
        }
        StoreOptions options;
        options.format = format.value_or(FileFormat::Unicode);
        options.kind = kind.value_or(StoreKind::Offline);
        options.encryption = encryption.value_or(Encryption::None);
        options.codePage = codePage.value_or(options.codePage);
        StoreWriter writer(output, options, force);
        if (random)
            RandomMailbox(*messages, seed).write(writer);
        else
            DemoMailbox().write(writer);
        writer.finish();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "storegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
