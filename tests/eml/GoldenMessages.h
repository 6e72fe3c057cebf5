#pragma once

#include "eml/Message.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Sample messages that together cover every rule of the MIME writer; each has a golden .eml file
// of the same name under tests/eml/golden.
struct GoldenMessage
{
    QString name;
    eml::Message message;
};

QList<GoldenMessage> goldenMessages();

// A small PNG (a 1x1 transparent pixel) and a blob holding every byte value twice.
QByteArray samplePng();
QByteArray everyByteValue();
