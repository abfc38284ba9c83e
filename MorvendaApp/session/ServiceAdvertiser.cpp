#include "ServiceAdvertiser.h"

#include <QLoggingCategory>
#include <QSysInfo>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-glib/glib-watch.h>

Q_LOGGING_CATEGORY(lcServiceAdvertiser, "morvenda.ServiceAdvertiser")

namespace {

QString avahiError(int error)
{
    return QString::fromUtf8(avahi_strerror(error));
}

void clientCallback(AvahiClient *client, AvahiClientState state, void *self)
{
    static_cast<ServiceAdvertiser *>(self)->handleClientState(client, state);
}

void groupCallback(AvahiEntryGroup *group, AvahiEntryGroupState state, void *self)
{
    static_cast<ServiceAdvertiser *>(self)->handleGroupState(group, state);
}

} // namespace

ServiceAdvertiser::ServiceAdvertiser(const QString &name, const QString &serviceType, quint16 port, QObject *parent)
    : QObject(parent)
    , m_name(serviceName(name))
    , m_serviceType(serviceType)
    , m_port(port)
{
    m_retry.setInterval(retryIntervalMs);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ServiceAdvertiser::createClient);
}

ServiceAdvertiser::~ServiceAdvertiser()
{
    freeClient();
    if (m_poll) {
        avahi_glib_poll_free(m_poll);
    }
}

QString ServiceAdvertiser::serviceName(const QString &name)
{
    QString source = name.isEmpty() ? QSysInfo::machineHostName() : name;
    QByteArray utf8 = source.toUtf8();
    if (utf8.size() > maxNameBytes) {
        qsizetype cut = maxNameBytes;
        // Back up over continuation bytes (10xxxxxx) so no character is split.
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        utf8.truncate(cut);
    }
    return QString::fromUtf8(utf8);
}

void ServiceAdvertiser::start()
{
    if (!m_poll) {
        m_poll = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    }
    createClient();
}

void ServiceAdvertiser::createClient()
{
    freeClient();
    int error = 0;
    // NO_FAIL: with a bus but no daemon the client waits and registers when the daemon appears.
    AvahiClient *client = avahi_client_new(avahi_glib_poll_get(m_poll), AVAHI_CLIENT_NO_FAIL,
                                           &clientCallback,
                                           this, &error);
    if (!client) {
        reportUnavailable(avahiError(error));
        m_retry.start();
        return;
    }
    // The callback may already have run from inside avahi_client_new, before m_client was set.
    m_client = client;
    if (avahi_client_get_state(client) == AVAHI_CLIENT_S_RUNNING && !m_group) {
        registerService(client);
    }
}

void ServiceAdvertiser::freeClient()
{
    if (m_client) {
        // Frees the entry group with it.
        avahi_client_free(m_client);
        m_client = nullptr;
    }
    m_group = nullptr;
}

void ServiceAdvertiser::takeAlternativeName()
{
    const QByteArray name = m_name.toUtf8();
    char *alternative = avahi_alternative_service_name(name.constData());
    const QString old = m_name;
    m_name = serviceName(QString::fromUtf8(alternative));
    avahi_free(alternative);
    emit renamed(old, m_name);
}

void ServiceAdvertiser::reportUnavailable(const QString &reason)
{
    if (m_reportedUnavailable) {
        return;
    }
    m_reportedUnavailable = true;
    emit unavailable(reason);
}

void ServiceAdvertiser::handleClientState(AvahiClient *client, int state)
{
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        // Also after a host-name change, which left the group reset and empty.
        if (m_client == client && (!m_group || avahi_entry_group_is_empty(m_group))) {
            registerService(client);
        }
        break;
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_S_REGISTERING:
        // The host name changes: withdraw and register again once the client runs.
        if (m_group) {
            avahi_entry_group_reset(m_group);
        }
        break;
    case AVAHI_CLIENT_CONNECTING:
        qCDebug(lcServiceAdvertiser, "Waiting for the Avahi daemon");
        reportUnavailable(QStringLiteral("the Avahi daemon is not running"));
        break;
    case AVAHI_CLIENT_FAILURE: {
        const int error = avahi_client_errno(client);
        if (error == AVAHI_ERR_DISCONNECTED) {
            // The daemon went away (restart): a fresh client registers again when it is back.
            // Never free the client from inside its own callback.
            qCDebug(lcServiceAdvertiser, "Avahi daemon disconnected; reconnecting");
            QTimer::singleShot(0, this, &ServiceAdvertiser::createClient);
        } else {
            reportUnavailable(avahiError(error));
            QTimer::singleShot(0, this, [this] {
                freeClient();
                m_retry.start();
            });
        }
        break;
    }
    default:
        break;
    }
}

void ServiceAdvertiser::registerService(AvahiClient *client)
{
    if (m_group && !avahi_entry_group_is_empty(m_group)) {
        return;  // already added (a collision retry and a client state change may both ask)
    }
    if (!m_group) {
        m_group = avahi_entry_group_new(
            client, &groupCallback, this);
        if (!m_group) {
            emit failed(avahiError(avahi_client_errno(client)));
            return;
        }
    }
    for (;;) {
        const QByteArray name = m_name.toUtf8();
        const QByteArray type = m_serviceType.toUtf8();
        // No TXT record.
        const int result = avahi_entry_group_add_service_strlst(m_group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                                AvahiPublishFlags(0), name.constData(),
                                                                type.constData(), nullptr, nullptr, m_port, nullptr);
        if (result == AVAHI_ERR_COLLISION) {
            // A local service holds the name already.
            takeAlternativeName();
            avahi_entry_group_reset(m_group);
            continue;
        }
        if (result < 0) {
            emit failed(avahiError(result));
            avahi_entry_group_reset(m_group);
            return;
        }
        break;
    }
    const int committed = avahi_entry_group_commit(m_group);
    if (committed < 0) {
        emit failed(avahiError(committed));
    }
}

void ServiceAdvertiser::handleGroupState(AvahiEntryGroup *group, int state)
{
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        m_reportedUnavailable = false;
        emit registered(m_name);
        break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
        // Another host on the network holds the name: take Avahi's alternative and try again.
        takeAlternativeName();
        avahi_entry_group_reset(group);
        // Not from inside the group's own callback.
        QTimer::singleShot(0, this, [this] {
            if (m_client && m_group && avahi_client_get_state(m_client) == AVAHI_CLIENT_S_RUNNING) {
                registerService(m_client);
            }
        });
        break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
        emit failed(avahiError(avahi_client_errno(avahi_entry_group_get_client(group))));
        break;
    default:
        break;
    }
}
