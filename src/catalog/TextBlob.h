#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace catalog {

// The encoding of a record's texts in the catalogs' text file: numbers as variable-length
// integers, texts as UTF-8 after their length (0 for an absent text, else length + 1).
class TextBlobWriter
{
public:
    void number(quint64 value);
    void signedNumber(qint64 value);
    void text(const std::optional<QString>& value);
    void text(const QString& value) { text(std::optional<QString>(value)); }
    void numbers(const QList<int>& values);
    void raw(QByteArrayView bytes) { m_bytes.append(bytes); }

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads what TextBlobWriter wrote. Reads past the end or of a damaged length give nothing and
// mark the reader as failed, never crash.
class TextBlobReader
{
public:
    explicit TextBlobReader(const QByteArray& bytes) : m_bytes(bytes) {}

    quint64 number();
    qint64 signedNumber();
    std::optional<QString> text();
    QString plainText() { return text().value_or(QString()); }
    QList<int> numbers();

    bool ok() const { return m_ok; }

private:
    const QByteArray& m_bytes;
    qsizetype m_position = 0;
    bool m_ok = true;
};

} // namespace catalog
