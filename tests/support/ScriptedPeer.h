// A scripted app for the server, shell, panel and application tests: a loopback QTcpSocket that
// writes frames and collects the frames it receives, with builders for the records an app reports
// (settings, milestones, users). Main thread; everything asynchronous is awaited with QTRY_* by the
// caller.
#pragma once

#include "MorvendaModel/Encoder.h"
#include "MorvendaModel/MorvendaFrameReader.h"
#include "MorvendaModel/Payload.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUuid>

#include <optional>

class ScriptedPeer
{
public:
    // `from` picks the app's own address (any of 127.0.0.0/8 on loopback) to act as another host.
    bool connectTo(quint16 port, const QHostAddress &from = {})
    {
        if (!from.isNull() && !m_socket.bind(from)) {
            return false;
        }
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        return m_socket.waitForConnected(5000);
    }
    void send(const QByteArray &json) { m_socket.write(*MorvendaFramer::frame(json)); }
    void sendRaw(const QByteArray &bytes) { m_socket.write(bytes); }
    void handshake(const QString &name)
    {
        send(QByteArrayLiteral(R"({"handshake":")") + name.toUtf8() + QByteArrayLiteral(R"("})"));
    }
    void user(const QString &name, const QString &token)
    {
        send(QByteArrayLiteral(R"({"user":{"name":")") + name.toUtf8() + QByteArrayLiteral(R"(","token":")")
            + token.toUtf8()
            + QByteArrayLiteral(R"(","capabilities":[],"isImpersonating":false,"isSubuser":false,"isAdmin":true,"tags":["admin","active"]}})"));
    }
    void request(const QString &id, const QString &url)
    {
        send(QByteArrayLiteral(R"({"request":{"id":")") + id.toUtf8() + QByteArrayLiteral(R"(","url":")")
            + url.toUtf8() + QByteArrayLiteral(R"(","method":"get","headers":[]}})"));
    }
    // Any record, written by the wire encoder exactly as an app would send it.
    void send(const Payload &payload) { send(Encoder::encode(payload)); }
    void settings(const QList<Setting> &settings) { send(Payload::settings(settings)); }
    void milestones(const QList<Milestone> &milestones) { send(Payload::milestone(milestones)); }

    // A setting whose server value is its default unless given; the name is the key's.
    static Setting setting(const QString &key, Setting::Value defaultValue,
                           std::optional<Setting::Value> overrideValue = std::nullopt,
                           std::optional<Setting::Value> serverValue = std::nullopt,
                           const QString &engineer = QStringLiteral("Dana Engineer"))
    {
        Setting::Value server = serverValue ? *serverValue : defaultValue;
        return Setting(key, key, engineer, std::move(overrideValue), std::move(defaultValue),
                       std::move(server));
    }
    static Setting boolSetting(const QString &key, std::optional<Setting::BoolState> overrideState = std::nullopt,
                               Setting::BoolState serverState = Setting::BoolState::Off)
    {
        return setting(key, Setting::Value::boolean(Setting::BoolState::Off),
                       valueOf(overrideState, &Setting::Value::boolean), Setting::Value::boolean(serverState));
    }
    static Setting numberSetting(const QString &key, double value, std::optional<double> overrideValue = std::nullopt)
    {
        return setting(key, Setting::Value::number(value), valueOf(overrideValue, &Setting::Value::number));
    }
    static Setting stringSetting(const QString &key, const QString &value,
                                 std::optional<QString> overrideValue = std::nullopt)
    {
        return setting(key, Setting::Value::string(value), valueOf(overrideValue, &Setting::Value::string));
    }
    // Dates in seconds since 1970, as the records hold them.
    static Milestone milestone(const QString &key, qint64 count, std::optional<double> createdAt = std::nullopt,
                               std::optional<double> updatedAt = std::nullopt)
    {
        return Milestone(key, count, createdAt, updatedAt);
    }
    // Frames received so far (reads what has arrived).
    const QList<QByteArray> &frames()
    {
        const QByteArray bytes = m_socket.readAll();
        m_raw += bytes;
        qsizetype pos = 0;
        while (pos < bytes.size()) {
            auto step = m_reader.step(bytes.constData() + pos, bytes.size() - pos);
            pos += step.consumed;
            if (step.event == MorvendaFrameReader::Event::Frame) {
                m_frames.append(step.body);
            }
            if (step.consumed == 0) {
                break;
            }
        }
        return m_frames;
    }
    // Every byte received so far, unparsed.
    const QByteArray &raw()
    {
        frames();
        return m_raw;
    }
    bool isConnected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    QTcpSocket &socket() { return m_socket; }

    // A port that was free a moment ago, for the server's fixed-port switch (MORVENDA_PORT).
    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    template<typename T, typename Make>
    static std::optional<Setting::Value> valueOf(const std::optional<T> &value, Make make)
    {
        return value ? std::optional(make(*value)) : std::nullopt;
    }

    QTcpSocket m_socket;
    MorvendaFrameReader m_reader;
    QList<QByteArray> m_frames;
    QByteArray m_raw;
};
