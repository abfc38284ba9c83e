// Readers of every wire record. Each reads its fields in field order, so the first failing field in
// that order decides the error, and ignores keys it does not know.
#include "JsonReading.h"

#include "AppPayload.h"
#include "Payload.h"

namespace JsonReading {
namespace {

using Kind = DecodeError::Kind;
using Keys2 = std::array<std::string_view, 2>;

// Looks a raw value up among `count` candidates without making a QString of it.
template<typename Enum, size_t N>
Enum readRawValue(Reader &reader, Element value, const char *what,
                  const std::array<std::pair<std::string_view, Enum>, N> &candidates)
{
    if (!value.is_string())
        reader.typeMismatch(what, value);
    const std::string_view text = value.get_string().value_unsafe();
    for (const auto &[raw, result] : candidates) {
        if (text == raw)
            return result;
    }
    reader.fail(Kind::DataCorrupted, QStringLiteral("\"%1\" is not one of the accepted values")
                                         .arg(reader.string(value).left(64)));
}

Method readMethod(Reader &reader, Element value)
{
    static constexpr std::array<std::pair<std::string_view, Method>, 4> methods = {{
        {"post", Method::Post}, {"get", Method::Get}, {"put", Method::Put}, {"delete", Method::Delete},
    }};
    return readRawValue(reader, value, "a method string", methods);
}

Setting::BoolState readBoolState(Reader &reader, Element value)
{
    using State = Setting::BoolState;
    static constexpr std::array<std::pair<std::string_view, State>, 3> states = {{
        {"server", State::Server}, {"on", State::On}, {"off", State::Off},
    }};
    return readRawValue(reader, value, "a state string", states);
}

UserTag readUserTag(Reader &reader, Element value)
{
    if (!value.is_string())
        reader.typeMismatch("a tag string", value);
    const QString text = reader.string(value);
    if (const std::optional<UserTag> tag = userTagFromRawValue(text))
        return *tag;
    reader.fail(Kind::DataCorrupted, QStringLiteral("unknown user tag \"%1\"").arg(text.left(64)));
}

Header readHeader(Reader &reader, Element value)
{
    static constexpr Keys2 keys = {"name", "value"};
    Fields fields(reader, value, keys);
    const std::string_view name = fields.required(0, readUtf8View);
    const std::string_view headerValue = fields.required(1, readUtf8View);
    return Header::fromValidUtf8(QByteArrayView(name.data(), qsizetype(name.size())),
                                 QByteArrayView(headerValue.data(), qsizetype(headerValue.size())));
}

QList<Header> readHeaders(Reader &reader, Element value)
{
    return reader.list<Header>(value, readHeader);
}

// Exactly one of "network" and "cache" must be present; its value must be an object whose content
// is not read.
Response::Source readSource(Reader &reader, Element value)
{
    static constexpr Keys2 keys = {"network", "cache"};
    std::array<std::optional<Element>, 2> found;
    for (auto [key, inner] : reader.object(value)) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (key == keys[i])
                found[i] = inner;
        }
    }
    if (found[0].has_value() == found[1].has_value()) {
        reader.fail(Kind::TypeMismatch,
                    QStringLiteral("Invalid number of keys found, expected one."));
    }
    const size_t chosen = found[0] ? 0 : 1;
    within(keySegment(keys[chosen]), [&] { return reader.object(*found[chosen]); });
    return chosen == 0 ? Response::Source::Network : Response::Source::Cache;
}

Request readRequest(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 6> keys = {"id",        "url",  "method",
                                                             "timestamp", "data", "headers"};
    Fields fields(reader, value, keys);
    const QUuid id = fields.required(0, readUuid);
    std::optional<Url> url = fields.optional(1, readUrl);
    const std::optional<Method> method = fields.optional(2, readMethod);
    const std::optional<double> timestamp = fields.optional(3, readDate);
    std::optional<QByteArray> data = fields.optional(4, readUtf8String);
    QList<Header> headers = fields.required(5, readHeaders);
    return Request::withUtf8Body(id, std::move(url), method, timestamp, std::move(data),
                                 std::move(headers));
}

Response readResponse(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 8> keys = {
        "id", "batchID", "statusCode", "url", "source", "timestamp", "headers", "data"};
    Fields fields(reader, value, keys);
    const QUuid id = fields.required(0, readUuid);
    const QUuid batchID = fields.required(1, readUuid);
    const std::optional<qint64> statusCode = fields.optional(2, readInteger);
    std::optional<Url> url = fields.optional(3, readUrl);
    const std::optional<Response::Source> source = fields.optional(4, readSource);
    const std::optional<double> timestamp = fields.optional(5, readDate);
    QList<Header> headers = fields.required(6, readHeaders);
    std::optional<QByteArray> data = fields.optional(7, readUtf8String);
    return Response::withUtf8Body(id, batchID, statusCode, std::move(url), source, timestamp,
                                  std::move(headers), std::move(data));
}

// Every present key must hold its own kind of value; the first present one in case order wins.
Setting::Value readValue(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 3> keys = {"boolean", "number", "string"};
    Fields fields(reader, value, keys);
    const std::optional<Setting::BoolState> boolean = fields.optional(0, readBoolState);
    const std::optional<double> number =
        fields.optional(1, [](Reader &r, Element v) { return r.floatingPoint(v); });
    std::optional<QString> string = fields.optional(2, readString);
    if (boolean)
        return Setting::Value::boolean(*boolean);
    if (number)
        return Setting::Value::number(*number);
    if (string)
        return Setting::Value::string(*string);
    reader.failMorvenda(MorvendaDecodeError::UnableToDecodeSettingValue,
                        QStringLiteral("none of the keys \"boolean\", \"number\", \"string\" holds a value"));
}

Setting readSetting(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 6> keys = {
        "name", "key", "directlyResponsibleEngineerName", "overrideValue", "defaultValue",
        "serverValue"};
    Fields fields(reader, value, keys);
    QString name = fields.required(0, readString);
    QString key = fields.required(1, readString);
    QString engineer = fields.required(2, readString);
    std::optional<Setting::Value> overrideValue = fields.optional(3, readValue);
    Setting::Value defaultValue = fields.required(4, readValue);
    Setting::Value serverValue = fields.required(5, readValue);
    return Setting(std::move(name), std::move(key), std::move(engineer), std::move(overrideValue),
                   std::move(defaultValue), std::move(serverValue));
}

SettingOverride readSettingOverride(Reader &reader, Element value)
{
    static constexpr Keys2 keys = {"key", "value"};
    Fields fields(reader, value, keys);
    QString key = fields.required(0, readString);
    Setting::Value overrideValue = fields.required(1, readValue);
    return SettingOverride(std::move(key), std::move(overrideValue));
}

Retailer readRetailer(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 6> keys = {
        "name", "token", "isActive", "country", "multiUserState", "ostraneMembershipStatus"};
    Fields fields(reader, value, keys);
    std::optional<QString> name = fields.optional(0, readString);
    std::optional<QString> token = fields.optional(1, readString);
    const bool isActive = fields.required(2, readBoolean);
    std::optional<QString> country = fields.optional(3, readString);
    std::optional<QString> multiUserState = fields.optional(4, readString);
    std::optional<QString> membership = fields.optional(5, readString);
    return Retailer(std::move(name), std::move(token), isActive, std::move(country),
                    std::move(multiUserState), std::move(membership));
}

Brand readBrand(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 4> keys = {"name", "token", "isActive", "country"};
    Fields fields(reader, value, keys);
    Brand brand;
    brand.name = fields.optional(0, readString);
    brand.token = fields.optional(1, readString);
    brand.isActive = fields.required(2, readBoolean);
    brand.country = fields.optional(3, readString);
    return brand;
}

User readUser(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 11> keys = {
        "name",      "token",     "email",   "capabilities", "profileImageURL", "isImpersonating",
        "isSubuser", "isAdmin",   "tags",    "retailer",     "brand"};
    Fields fields(reader, value, keys);
    std::optional<QString> name = fields.optional(0, readString);
    std::optional<QString> token = fields.optional(1, readString);
    std::optional<QString> email = fields.optional(2, readString);
    QStringList capabilities = fields.required(
        3, [](Reader &r, Element v) { return r.list<QString>(v, readString); });
    std::optional<Url> profileImageURL = fields.optional(4, readUrl);
    const bool isImpersonating = fields.required(5, readBoolean);
    const bool isSubuser = fields.required(6, readBoolean);
    const bool isAdmin = fields.required(7, readBoolean);
    QList<UserTag> tags =
        fields.required(8, [](Reader &r, Element v) { return r.list<UserTag>(v, readUserTag); });
    std::optional<Retailer> retailer = fields.optional(9, readRetailer);
    std::optional<Brand> brand = fields.optional(10, readBrand);
    return User::withTags(std::move(name), std::move(token), std::move(email),
                          std::move(capabilities), std::move(profileImageURL), isImpersonating,
                          isSubuser, isAdmin, std::move(tags), std::move(retailer),
                          std::move(brand));
}

Milestone readMilestone(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 4> keys = {"key", "count", "createdAt",
                                                             "updatedAt"};
    Fields fields(reader, value, keys);
    QString key = fields.required(0, readString);
    const qint64 count = fields.required(1, readInteger);
    const std::optional<double> createdAt = fields.optional(2, readDate);
    const std::optional<double> updatedAt = fields.optional(3, readDate);
    return Milestone(std::move(key), count, createdAt, updatedAt);
}

ImpersonationInfo readImpersonationInfo(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 1> keys = {"userTokenToImpersonate"};
    Fields fields(reader, value, keys);
    return ImpersonationInfo(fields.required(0, readString));
}

} // namespace

// Every present key is read (so an invalid value fails the payload even when an earlier key would
// have been chosen); the first present key in case order decides the case.
Payload readPayload(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 6> keys = {"request", "response", "settings",
                                                             "user",    "milestone", "handshake"};
    Fields fields(reader, value, keys);
    std::optional<Request> request = fields.optional(0, readRequest);
    std::optional<Response> response = fields.optional(1, readResponse);
    std::optional<QList<Setting>> settings = fields.optional(
        2, [](Reader &r, Element v) { return r.list<Setting>(v, readSetting); });
    std::optional<User> user = fields.optional(3, readUser);
    std::optional<QList<Milestone>> milestones = fields.optional(
        4, [](Reader &r, Element v) { return r.list<Milestone>(v, readMilestone); });
    std::optional<QString> handshake = fields.optional(5, readString);
    if (request)
        return Payload::request(*std::move(request));
    if (response)
        return Payload::response(*std::move(response));
    if (settings)
        return Payload::settings(*std::move(settings));
    if (user)
        return Payload::user(*std::move(user));
    if (milestones)
        return Payload::milestone(*std::move(milestones));
    if (handshake)
        return Payload::handshake(*std::move(handshake));
    reader.failMorvenda(MorvendaDecodeError::UnableToDecodePayload,
                        QStringLiteral("none of the keys \"request\", \"response\", \"settings\", "
                                       "\"user\", \"milestone\", \"handshake\" holds a value"));
}

AppPayload readAppPayload(Reader &reader, Element value)
{
    static constexpr std::array<std::string_view, 4> keys = {"settingOverride", "runDeeplink",
                                                             "impersonate", "serverHello"};
    Fields fields(reader, value, keys);
    std::optional<SettingOverride> settingOverride = fields.optional(0, readSettingOverride);
    std::optional<QString> deeplink = fields.optional(1, readString);
    std::optional<ImpersonationInfo> impersonate = fields.optional(2, readImpersonationInfo);
    const std::optional<QString> hello = fields.optional(3, readString);
    if (settingOverride)
        return AppPayload::settingOverride(*std::move(settingOverride));
    if (deeplink)
        return AppPayload::runDeeplink(*std::move(deeplink));
    if (impersonate)
        return AppPayload::impersonate(*std::move(impersonate));
    if (hello)
        return AppPayload::serverHello();
    reader.failMorvenda(MorvendaDecodeError::UnableToDecodeAppPayload,
                        QStringLiteral("none of the keys \"settingOverride\", \"runDeeplink\", "
                                       "\"impersonate\", \"serverHello\" holds a value"));
}

} // namespace JsonReading
