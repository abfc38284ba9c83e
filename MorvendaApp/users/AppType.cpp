#include "AppType.h"

#include <QHashFunctions>

QString rawValue(AppType app)
{
    switch (app) {
    case AppType::Retailer:
        return QStringLiteral("retailer");
    case AppType::Brand:
        return QStringLiteral("brand");
    }
    return {};
}

std::optional<AppType> appTypeFromRawValue(QStringView text)
{
    for (const AppType app : allAppTypes) {
        if (text == rawValue(app)) {
            return app;
        }
    }
    return std::nullopt;
}

size_t qHash(AppType app, size_t seed)
{
    return ::qHash(static_cast<int>(app), seed);
}
