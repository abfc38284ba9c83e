// The one object the editor page sees through the web channel (as "host"): it can post a named
// message and nothing else. Owned by its view; main thread only.
#pragma once

#include <QJsonValue>
#include <QObject>
#include <QString>

class CodeMirrorBridge : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    Q_INVOKABLE void post(const QString &name, const QJsonValue &body) { emit posted(name, body); }

signals:
    void posted(const QString &name, const QJsonValue &body);
};
