#include "Encoder.h"

#include "Uuid.h"

namespace {

using namespace Qt::StringLiterals;

void writeOptional(JsonWriter &writer, QLatin1StringView key, const std::optional<QString> &text)
{
    if (text) {
        writer.key(key);
        writer.string(*text);
    }
}

void writeOptionalUtf8(JsonWriter &writer, QLatin1StringView key, const std::optional<QByteArray> &utf8)
{
    if (utf8) {
        writer.key(key);
        writer.utf8String(*utf8);
    }
}

void writeOptionalDate(JsonWriter &writer, QLatin1StringView key, std::optional<double> seconds)
{
    if (seconds) {
        writer.key(key);
        writer.date(*seconds);
    }
}

void writeOptionalUrl(JsonWriter &writer, QLatin1StringView key, const std::optional<Url> &url)
{
    if (url) {
        writer.key(key);
        writer.utf8String(url->utf8());
    }
}

void writeUuid(JsonWriter &writer, QLatin1StringView key, const QUuid &uuid)
{
    writer.key(key);
    writer.string(Uuid::toText(uuid));
}

void writeHeaders(JsonWriter &writer, const QList<Header> &headers)
{
    writer.key("headers"_L1);
    writer.beginArray();
    for (const Header &header : headers)
        writeJson(writer, header);
    writer.endArray();
}

void writeSource(JsonWriter &writer, Response::Source source)
{
    writer.beginObject();
    writer.key(source == Response::Source::Network ? "network"_L1 : "cache"_L1);
    writer.beginObject();
    writer.endObject();
    writer.endObject();
}

template<typename T>
void writeList(JsonWriter &writer, const QList<T> &items)
{
    writer.beginArray();
    for (const T &item : items)
        writeJson(writer, item);
    writer.endArray();
}

} // namespace

namespace Encoder {

JsonWriter make()
{
    return JsonWriter();
}

QByteArray encode(const AppPayload &payload)
{
    JsonWriter writer = make();
    writeJson(writer, payload);
    return writer.takeBuffer();
}

QByteArray encode(const Payload &payload)
{
    JsonWriter writer = make();
    writeJson(writer, payload);
    return writer.takeBuffer();
}

QByteArray encode(const QList<Payload> &payloads)
{
    JsonWriter writer = make();
    writeList(writer, payloads);
    return writer.takeBuffer();
}

} // namespace Encoder

void writeJson(JsonWriter &writer, const Payload &payload)
{
    writer.beginObject();
    switch (payload.kind()) {
    case Payload::Kind::Request:
        writer.key("request"_L1);
        writeJson(writer, *payload.asRequest());
        break;
    case Payload::Kind::Response:
        writer.key("response"_L1);
        writeJson(writer, *payload.asResponse());
        break;
    case Payload::Kind::Settings:
        writer.key("settings"_L1);
        writeList(writer, *payload.asSettings());
        break;
    case Payload::Kind::User:
        writer.key("user"_L1);
        writeJson(writer, *payload.asUser());
        break;
    case Payload::Kind::Milestone:
        writer.key("milestone"_L1);
        writeList(writer, *payload.asMilestone());
        break;
    case Payload::Kind::Handshake:
        writer.key("handshake"_L1);
        writer.string(*payload.asHandshake());
        break;
    }
    writer.endObject();
}

void writeJson(JsonWriter &writer, const AppPayload &payload)
{
    writer.beginObject();
    switch (payload.kind()) {
    case AppPayload::Kind::SettingOverride:
        writer.key("settingOverride"_L1);
        writeJson(writer, *payload.asSettingOverride());
        break;
    case AppPayload::Kind::RunDeeplink:
        writer.key("runDeeplink"_L1);
        writer.string(*payload.asRunDeeplink());
        break;
    case AppPayload::Kind::Impersonate:
        writer.key("impersonate"_L1);
        writeJson(writer, *payload.asImpersonate());
        break;
    case AppPayload::Kind::ServerHello:
        writer.key("serverHello"_L1);
        writer.string(QStringView());
        break;
    }
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Request &request)
{
    writer.beginObject();
    writeUuid(writer, "id"_L1, request.messageID());
    writeOptionalUrl(writer, "url"_L1, request.url());
    if (request.method()) {
        writer.key("method"_L1);
        writer.string(rawValue(*request.method()));
    }
    writeOptionalDate(writer, "timestamp"_L1, request.timestamp());
    writeOptionalUtf8(writer, "data"_L1, request.dataUtf8());
    writeHeaders(writer, request.headers());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Response &response)
{
    writer.beginObject();
    writeUuid(writer, "id"_L1, response.messageID());
    writeUuid(writer, "batchID"_L1, response.batchID());
    if (response.statusCode()) {
        writer.key("statusCode"_L1);
        writer.integer(*response.statusCode());
    }
    writeOptionalUrl(writer, "url"_L1, response.url());
    if (response.source()) {
        writer.key("source"_L1);
        writeSource(writer, *response.source());
    }
    writeOptionalDate(writer, "timestamp"_L1, response.timestamp());
    writeHeaders(writer, response.headers());
    writeOptionalUtf8(writer, "data"_L1, response.dataUtf8());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Header &header)
{
    writer.beginObject();
    writer.key("name"_L1);
    writer.utf8String(header.nameUtf8());
    writer.key("value"_L1);
    writer.utf8String(header.valueUtf8());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Setting &setting)
{
    writer.beginObject();
    writer.key("name"_L1);
    writer.string(setting.name);
    writer.key("key"_L1);
    writer.string(setting.key);
    writer.key("directlyResponsibleEngineerName"_L1);
    writer.string(setting.directlyResponsibleEngineerName);
    if (setting.overrideValue) {
        writer.key("overrideValue"_L1);
        writeJson(writer, *setting.overrideValue);
    }
    writer.key("defaultValue"_L1);
    writeJson(writer, setting.defaultValue);
    writer.key("serverValue"_L1);
    writeJson(writer, setting.serverValue);
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Setting::Value &value)
{
    writer.beginObject();
    switch (value.kind()) {
    case Setting::Value::Kind::Boolean:
        writer.key("boolean"_L1);
        writer.string(Setting::rawValue(*value.asBoolean()));
        break;
    case Setting::Value::Kind::Number:
        writer.key("number"_L1);
        writer.number(*value.asNumber());
        break;
    case Setting::Value::Kind::String:
        writer.key("string"_L1);
        writer.string(*value.asString());
        break;
    }
    writer.endObject();
}

void writeJson(JsonWriter &writer, const SettingOverride &settingOverride)
{
    writer.beginObject();
    writer.key("key"_L1);
    writer.string(settingOverride.key());
    writer.key("value"_L1);
    writeJson(writer, settingOverride.value());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const User &user)
{
    writer.beginObject();
    writeOptional(writer, "name"_L1, user.name());
    writeOptional(writer, "token"_L1, user.token());
    writeOptional(writer, "email"_L1, user.email());
    writer.key("capabilities"_L1);
    writer.beginArray();
    for (const QString &capability : user.capabilities())
        writer.string(capability);
    writer.endArray();
    writeOptionalUrl(writer, "profileImageURL"_L1, user.profileImageURL());
    writer.key("isImpersonating"_L1);
    writer.boolean(user.isImpersonating());
    writer.key("isSubuser"_L1);
    writer.boolean(user.isSubuser());
    writer.key("isAdmin"_L1);
    writer.boolean(user.isAdmin());
    writer.key("tags"_L1);
    writer.beginArray();
    for (UserTag tag : user.tags())
        writer.string(rawValue(tag));
    writer.endArray();
    if (user.retailer()) {
        writer.key("retailer"_L1);
        writeJson(writer, *user.retailer());
    }
    if (user.brand()) {
        writer.key("brand"_L1);
        writeJson(writer, *user.brand());
    }
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Retailer &retailer)
{
    writer.beginObject();
    writeOptional(writer, "name"_L1, retailer.name());
    writeOptional(writer, "token"_L1, retailer.token());
    writer.key("isActive"_L1);
    writer.boolean(retailer.isActive());
    writeOptional(writer, "country"_L1, retailer.country());
    writeOptional(writer, "multiUserState"_L1, retailer.multiUserState());
    writeOptional(writer, "ostraneMembershipStatus"_L1, retailer.ostraneMembershipStatus());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Brand &brand)
{
    writer.beginObject();
    writeOptional(writer, "name"_L1, brand.name);
    writeOptional(writer, "token"_L1, brand.token);
    writer.key("isActive"_L1);
    writer.boolean(brand.isActive);
    writeOptional(writer, "country"_L1, brand.country);
    writer.endObject();
}

void writeJson(JsonWriter &writer, const Milestone &milestone)
{
    writer.beginObject();
    writer.key("key"_L1);
    writer.string(milestone.key());
    writer.key("count"_L1);
    writer.integer(milestone.count());
    writeOptionalDate(writer, "createdAt"_L1, milestone.createdAt());
    writeOptionalDate(writer, "updatedAt"_L1, milestone.updatedAt());
    writer.endObject();
}

void writeJson(JsonWriter &writer, const ImpersonationInfo &info)
{
    writer.beginObject();
    writer.key("userTokenToImpersonate"_L1);
    writer.string(info.userTokenToImpersonate());
    writer.endObject();
}
