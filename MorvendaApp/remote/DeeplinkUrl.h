// Turns a catalogue entry and the developer's typed values into the link text an app is asked to
// open. Typed text is percent-encoded here, by hand, so it can never add query items, a fragment
// or segments of its own (a URL class would keep or normalise the escapes it is given). Pure
// functions; safe on any thread.
#pragma once

#include "Deeplinks.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>

namespace DeeplinkUrl {

// UTF-8 percent-encoding of one path segment: unreserved characters and !$&'()*+,;=:@ stay,
// everything else (a "%" included) is escaped.
QString encodePathSegment(QStringView segment);
// The same for a query name or value, which also escapes &, =, + and #.
QString encodeQueryComponent(QStringView component);

// `base` followed by the entry's path segments and query items in component order; typed values
// come from `inputs` by component id (missing ones are empty). A typed "/" separates segments;
// a leading one adds no empty segment. Nothing when `base` is not an absolute URL.
std::optional<QString> build(const QString &base, const Deeplink &deeplink, const QHash<QString, QString> &inputs);

} // namespace DeeplinkUrl
