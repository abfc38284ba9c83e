// Fixed addresses and names of the remote-control tools, in one place so a change of web site
// touches one file.
#pragma once

#include <QString>

namespace RemoteConstants {

// Web origins (scheme and host, no path, no trailing slash) that built deeplinks start with.
inline QString stagingOrigin() { return QStringLiteral("https://staging.example.com"); }
inline QString productionOrigin() { return QStringLiteral("https://www.example.com"); }

// Query key under which the direct sign-up link carries the brand's alias.
inline QString brandAliasQueryKey() { return QStringLiteral("brandAlias"); }

} // namespace RemoteConstants
