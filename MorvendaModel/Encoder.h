// The one JSON writer configuration of the wire and of session files (see JsonWriter): dates as
// milliseconds since 1970, non-finite numbers as "+", "-", "NAN", optional fields left out when
// absent, no key conversion. Writing cannot fail. Pure functions; safe on any thread.
#pragma once

#include "MorvendaModel/AppPayload.h"
#include "MorvendaModel/JsonWriter.h"
#include "MorvendaModel/Payload.h"

#include <QByteArray>
#include <QList>

namespace Encoder {

// A new writer of the one configuration.
JsonWriter make();

QByteArray encode(const AppPayload &payload);
QByteArray encode(const Payload &payload);
// A JSON array of payloads, as a session file holds them.
QByteArray encode(const QList<Payload> &payloads);

} // namespace Encoder

// Each record as one JSON value, for streaming writers (a session file: beginArray, one
// writeJson per payload, flushing the buffer as it grows, endArray).
void writeJson(JsonWriter &writer, const Payload &payload);
void writeJson(JsonWriter &writer, const AppPayload &payload);
void writeJson(JsonWriter &writer, const Request &request);
void writeJson(JsonWriter &writer, const Response &response);
void writeJson(JsonWriter &writer, const Header &header);
void writeJson(JsonWriter &writer, const Setting &setting);
void writeJson(JsonWriter &writer, const Setting::Value &value);
void writeJson(JsonWriter &writer, const SettingOverride &settingOverride);
void writeJson(JsonWriter &writer, const User &user);
void writeJson(JsonWriter &writer, const Retailer &retailer);
void writeJson(JsonWriter &writer, const Brand &brand);
void writeJson(JsonWriter &writer, const Milestone &milestone);
void writeJson(JsonWriter &writer, const ImpersonationInfo &info);
