// Advertises the server on the local network as a DNS-SD service through the Avahi daemon.
// Avahi runs inside Qt's own (GLib) event loop, so every callback arrives on the main thread.
// Owned by the listener. Handles name collisions, daemon restarts and a missing daemon.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiGLibPoll;

class ServiceAdvertiser : public QObject
{
    Q_OBJECT
public:
    // DNS labels are at most 63 bytes.
    static constexpr int maxNameBytes = 63;
    // Without a daemon, try again this often (quietly) in case one starts later.
    static constexpr int retryIntervalMs = 30'000;

    // `name` is cut to 63 bytes at a UTF-8 boundary; an empty name becomes the raw host name.
    ServiceAdvertiser(const QString &name, const QString &serviceType, quint16 port, QObject *parent = nullptr);
    ~ServiceAdvertiser() override;

    // Connects to the daemon and registers; results arrive through the signals.
    void start();

    // The name currently asked for (after collisions, Avahi's alternative).
    QString name() const { return m_name; }

    // `name` as a valid service name: at most 63 UTF-8 bytes, never empty.
    static QString serviceName(const QString &name);

signals:
    // The service is published under `name`.
    void registered(const QString &name);
    // Another service holds the name; registering again as `newName`.
    void renamed(const QString &oldName, const QString &newName);
    // No daemon can be reached (emitted once until the next registration).
    void unavailable(const QString &reason);
    // Registration failed for another reason.
    void failed(const QString &reason);

public:
    // Entry points of Avahi's C callbacks (their state enums are C types); not for other callers.
    void handleClientState(AvahiClient *client, int state);
    void handleGroupState(AvahiEntryGroup *group, int state);

private:
    void createClient();
    void freeClient();
    void registerService(AvahiClient *client);
    // Avahi's alternative to the current name becomes the name; announced with `renamed`.
    void takeAlternativeName();
    void reportUnavailable(const QString &reason);

    QString m_name;
    QString m_serviceType;
    quint16 m_port;
    AvahiGLibPoll *m_poll = nullptr;
    AvahiClient *m_client = nullptr;
    AvahiEntryGroup *m_group = nullptr;
    QTimer m_retry;
    bool m_reportedUnavailable = false;
};
