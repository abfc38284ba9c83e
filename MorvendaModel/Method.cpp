#include "Method.h"

#include <QHash>

QString rawValue(Method method)
{
    switch (method) {
    case Method::Post:
        return QStringLiteral("post");
    case Method::Get:
        return QStringLiteral("get");
    case Method::Put:
        return QStringLiteral("put");
    case Method::Delete:
        return QStringLiteral("delete");
    }
    Q_UNREACHABLE();
    return {};
}

std::optional<Method> methodFromRawValue(QStringView text)
{
    for (Method method : allMethods()) {
        if (text == rawValue(method))
            return method;
    }
    return std::nullopt;
}

QList<Method> allMethods()
{
    return {Method::Post, Method::Get, Method::Put, Method::Delete};
}

size_t qHash(Method method, size_t seed)
{
    return qHash(rawValue(method), seed);
}
