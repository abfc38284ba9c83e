#include "Payload.h"

Payload::Payload(Value value)
    : m_value(std::move(value))
{
}

Payload Payload::request(Request request) { return Payload(Value(std::move(request))); }
Payload Payload::response(Response response) { return Payload(Value(std::move(response))); }
Payload Payload::settings(QList<Setting> settings) { return Payload(Value(std::move(settings))); }
Payload Payload::user(User user) { return Payload(Value(std::move(user))); }
Payload Payload::milestone(QList<Milestone> milestones) { return Payload(Value(std::move(milestones))); }
Payload Payload::handshake(QString appName) { return Payload(Value(Handshake{std::move(appName)})); }

Payload::Kind Payload::kind() const
{
    return static_cast<Kind>(m_value.index());
}

const Request *Payload::asRequest() const { return std::get_if<Request>(&m_value); }
const Response *Payload::asResponse() const { return std::get_if<Response>(&m_value); }
const QList<Setting> *Payload::asSettings() const { return std::get_if<QList<Setting>>(&m_value); }
const User *Payload::asUser() const { return std::get_if<User>(&m_value); }
const QList<Milestone> *Payload::asMilestone() const { return std::get_if<QList<Milestone>>(&m_value); }

const QString *Payload::asHandshake() const
{
    const auto *handshake = std::get_if<Handshake>(&m_value);
    return handshake ? &handshake->appName : nullptr;
}

bool operator==(const Payload &a, const Payload &b)
{
    return a.m_value == b.m_value;
}
