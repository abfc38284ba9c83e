// One HTTP header of a logged request or response, stored exactly as sent (no case folding, no
// trimming, no merging of repeated names).
#pragma once

#include <QList>
#include <QString>

struct Header
{
    QString name;
    QString value;

    friend bool operator==(const Header &a, const Header &b);
};

size_t qHash(const Header &header, size_t seed = 0);
size_t qHash(const QList<Header> &headers, size_t seed = 0);
