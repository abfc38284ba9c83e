// HTTP methods a logged request can carry; the raw values are the wire form.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

enum class Method { Post, Get, Put, Delete };

// "post", "get", "put", "delete".
QString rawValue(Method method);
// Exactly one of the four raw values (case-sensitive), otherwise empty.
std::optional<Method> methodFromRawValue(QStringView text);
// Post, Get, Put, Delete: the order the method filter offers them in.
QList<Method> allMethods();

size_t qHash(Method method, size_t seed = 0);
