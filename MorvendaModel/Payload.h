// What a connected app sends: exactly one of a request, a response, its settings, its user, its
// milestones or its handshake (the app's name). Wire form: a one-key object. Plain value.
#pragma once

#include "MorvendaModel/CanonicalText.h"
#include "MorvendaModel/Milestone.h"
#include "MorvendaModel/Request.h"
#include "MorvendaModel/Response.h"
#include "MorvendaModel/Setting.h"
#include "MorvendaModel/User.h"

#include <QList>
#include <QString>

#include <variant>

class Payload
{
public:
    // In case order, which is also the order in which a reader picks among present keys.
    enum class Kind { Request, Response, Settings, User, Milestone, Handshake };

    static Payload request(Request request);
    static Payload response(Response response);
    static Payload settings(QList<Setting> settings);
    static Payload user(User user);
    static Payload milestone(QList<Milestone> milestones);
    static Payload handshake(QString appName);

    Kind kind() const;
    // The value of the case, or nullptr for another case.
    const Request *asRequest() const;
    const Response *asResponse() const;
    const QList<Setting> *asSettings() const;
    const User *asUser() const;
    const QList<Milestone> *asMilestone() const;
    const QString *asHandshake() const;

    // Same case and equal values (used by round-trip checks).
    friend bool operator==(const Payload &a, const Payload &b);

private:
    struct Handshake
    {
        QString appName;
        friend bool operator==(const Handshake &a, const Handshake &b)
        {
            return CanonicalText::equal(a.appName, b.appName);
        }
    };
    using Value = std::variant<Request, Response, QList<Setting>, User, QList<Milestone>, Handshake>;
    explicit Payload(Value value);
    Value m_value;
};
