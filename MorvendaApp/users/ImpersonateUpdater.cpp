#include "ImpersonateUpdater.h"

#include "ImpersonateUserStore.h"
#include "StoredUserWriter.h"
#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/UserManager.h"

#include <algorithm>

Q_LOGGING_CATEGORY(lcImpersonateUpdater, "morvenda.ImpersonateUpdater")

ImpersonateUpdater::ImpersonateUpdater(ImpersonateUserStore &store, QObject *parent)
    : QObject(parent)
    , m_writer(store.writer())
    , m_available(m_writer.isAvailable())
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &ImpersonateUpdater::writeFirst);
}

ImpersonateUpdater::~ImpersonateUpdater()
{
    if (!m_available) {
        return;
    }
    m_retry.stop();
    QList<ImpersonateUserData> rest = m_waiting;
    if (m_writing) {
        rest.removeFirst();
    }
    // Behind the write in progress.
    m_writer.runAndWait([this, &rest](ImpersonateUserStore &connection) {
        for (const ImpersonateUserData &record : std::as_const(rest)) {
            const Attempt attempt = write(connection, record);
            if (attempt.outcome != Outcome::Stored) {
                qCWarning(lcImpersonateUpdater, "The reported user %s was not stored before quitting: %s",
                    qUtf8Printable(record.userToken),
                    attempt.outcome == Outcome::Busy ? "another program is writing the stored users"
                                                     : qUtf8Printable(attempt.error));
            }
        }
    });
}

void ImpersonateUpdater::start(UserManager &userManager)
{
    if (m_started) {
        return;
    }
    m_started = true;
    connect(&userManager, &UserManager::latestUserChanged, this,
        [this](const std::optional<User> &user) { handleUser(user); });
    handleUser(userManager.latestUser());
}

void ImpersonateUpdater::handleUser(const std::optional<User> &user)
{
    if (m_previous && *m_previous == user) {
        return;
    }
    m_previous = user;
    if (!user || !user->token() || user->isAdmin()) {
        return;
    }
    if (const auto record = makeUserData(*user)) {
        store(*record);
    }
}

void ImpersonateUpdater::store(const ImpersonateUserData &record)
{
    if (!m_available) {
        return;
    }
    // A later report of a waiting token replaces it in its place; others queue behind, so the
    // reports are stored in the order they came. The one being written is not replaced: its
    // successor waits behind it, and takes its place should that write not go through.
    const qsizetype size = characters(record);
    for (qsizetype i = m_writing ? 1 : 0; m_waitingTokens.contains(record.userToken) && i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).userToken == record.userToken) {
            m_waitingCharacters += size - characters(m_waiting.at(i));
            m_waiting[i] = record;
            return;
        }
    }
    if (!m_waiting.isEmpty()
        && (m_waiting.size() >= kMostWaiting || m_waitingCharacters + size > kMostWaitingCharacters)) {
        qCWarning(lcImpersonateUpdater, "The reported user %s was not stored: %lld reported users wait to be stored already",
            qUtf8Printable(record.userToken), static_cast<long long>(m_waiting.size()));
        if (!m_dropping) {
            m_dropping = true;
            emit storeFailed(L10n::text("Impersonation.UnableToSaveUser.tooManyWaiting"));
        }
        return;
    }
    append(record);
    if (!m_retry.isActive()) {
        writeFirst();
    }
}

void ImpersonateUpdater::append(const ImpersonateUserData &record)
{
    m_waiting.append(record);
    m_waitingCharacters += characters(record);
    ++m_waitingTokens[record.userToken];
}

ImpersonateUserData ImpersonateUpdater::takeAt(qsizetype index)
{
    ImpersonateUserData record = m_waiting.takeAt(index);
    m_waitingCharacters -= characters(record);
    if (const auto found = m_waitingTokens.find(record.userToken); found != m_waitingTokens.end() && --*found == 0) {
        m_waitingTokens.erase(found);
    }
    return record;
}

qsizetype ImpersonateUpdater::characters(const ImpersonateUserData &record)
{
    const auto length = [](const std::optional<QString> &text) { return text ? text->size() : 0; };
    return record.userToken.size() + length(record.retailerToken) + length(record.brandToken)
        + (record.imageURL ? record.imageURL->text().size() : 0) + record.name.size() + length(record.email)
        + length(record.country) + length(record.notes) + (record.tags ? record.tags->size() : 0);
}

void ImpersonateUpdater::writeFirst()
{
    if (m_writing || m_waiting.isEmpty()) {
        return;
    }
    m_writing = true;
    m_writer.run(this,
        [this, record = m_waiting.first()](ImpersonateUserStore &connection) { return write(connection, record); },
        [this](const Attempt &attempt) { attempted(attempt); });
}

void ImpersonateUpdater::attempted(const Attempt &attempt)
{
    Q_ASSERT(m_writing && !m_waiting.isEmpty());
    m_writing = false;
    if (attempt.outcome == Outcome::Stored) {
        takeAt(0);
        if (m_waiting.isEmpty()) {
            m_dropping = false;
        }
        m_failing = false;
        m_lockHeld = false;
        m_failureRetryMs = kFirstRetryAfterFailureMs;
        emit userStored(attempt.record);
        writeFirst();
        return;
    }
    const QString userToken = m_waiting.first().userToken;
    // A later report of the same user, which came meanwhile, is the one to try again.
    for (qsizetype i = 1; m_waitingTokens.value(userToken) > 1 && i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).userToken == userToken) {
            ImpersonateUserData later = takeAt(i);
            m_waitingCharacters += characters(later) - characters(m_waiting.first());
            m_waiting.first() = std::move(later);
            break;
        }
    }
    if (attempt.outcome == Outcome::Busy) {
        if (!m_lockHeld) {
            m_lockHeld = true;
            qCInfo(lcImpersonateUpdater, "Another program is writing the stored users; reported users wait until it is done");
        }
        m_retry.start(kRetryMs);
        return;
    }
    // Storing the report without the stored values would reset the developer's favourite and
    // notes: the report waits, and the record stays as it was meanwhile.
    m_retry.start(m_failureRetryMs);
    m_failureRetryMs = std::min(2 * m_failureRetryMs, kLongestRetryAfterFailureMs);
    if (m_failing) {
        qCDebug(lcImpersonateUpdater, "Storing the reported user %s failed again: %s", qUtf8Printable(userToken),
            qUtf8Printable(attempt.error));
        return;
    }
    m_failing = true;
    qCWarning(lcImpersonateUpdater, "The reported user %s was not stored (%s): %s; reported users wait and are tried again",
        qUtf8Printable(userToken),
        attempt.lookupFailed ? "its stored record could not be read" : "the store refused the update",
        qUtf8Printable(attempt.error));
    emit storeFailed(L10n::tr("Impersonation.UnableToSaveUser.waitingMessage", attempt.error));
}

ImpersonateUpdater::Attempt ImpersonateUpdater::write(ImpersonateUserStore &connection, ImpersonateUserData record) const
{
    // Read, merge and write under one write lock, so nothing another writer stores in between is
    // overwritten with older values. The lock is not waited for: the writes behind would wait too.
    Attempt attempt;
    const auto done = connection.tryTransaction([&]() -> tl::expected<void, QString> {
        const auto previous = lookupStored(connection, record.userToken);
        if (!previous) {
            attempt.lookupFailed = true;
            return tl::unexpected(previous.error());
        }
        if (*previous) {
            record = mergeStoredValues(std::move(record), **previous);
        }
        // The values just written need no reading back.
        auto written = connection.upsert(record, ImpersonateUserStore::ReadBack::IdentityOnly);
        if (!written) {
            return tl::unexpected(written.error());
        }
        attempt.record = std::move(*written);
        return {};
    });
    if (!done) {
        attempt.outcome = Outcome::Failed;
        attempt.error = done.error();
    } else {
        attempt.outcome = *done ? Outcome::Stored : Outcome::Busy;
    }
    return attempt;
}

std::optional<ImpersonateUserData> ImpersonateUpdater::makeUserData(const User &user)
{
    if (!user.token()) {
        return std::nullopt;
    }
    const std::optional<Retailer> &retailer = user.retailer();
    const std::optional<Brand> &brand = user.brand();
    return ImpersonateUserData(*user.token(),
        retailer ? retailer->token() : std::nullopt,
        brand ? brand->token : std::nullopt,
        user.profileImageURL(),
        user.name().value_or(QString()),
        user.email(),
        retailer ? retailer->country() : std::nullopt,
        false,
        std::nullopt,
        storedTags(user));
}

QList<UserTag> ImpersonateUpdater::storedTags(const User &user)
{
    QList<UserTag> tags;
    for (const UserTag tag : user.tags()) {
        switch (tag) {
        case UserTag::Impersonating:
        case UserTag::Admin:
        case UserTag::Active:
        case UserTag::LoggedOut:
            break;
        default:
            tags.append(tag);
        }
    }
    return tags;
}

ImpersonateUserData ImpersonateUpdater::mergeStoredValues(ImpersonateUserData record, const ImpersonateUserData &stored)
{
    record.notes = stored.notes;
    record.favorite = stored.favorite;
    if (!record.retailerToken) {
        record.retailerToken = stored.retailerToken;
    }
    if (!record.country) {
        record.country = stored.country;
    }
    if (!record.brandToken) {
        record.brandToken = stored.brandToken;
    }
    return record;
}

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUpdater::lookupStored(
    ImpersonateUserStore &connection, const QString &userToken) const
{
    return connection.fetchKeptFields(userToken);
}
