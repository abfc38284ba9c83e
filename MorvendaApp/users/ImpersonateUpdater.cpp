#include "ImpersonateUpdater.h"

#include "ImpersonateUserStore.h"
#include "MorvendaApp/session/UserManager.h"

Q_LOGGING_CATEGORY(lcImpersonateUpdater, "morvenda.ImpersonateUpdater")

ImpersonateUpdater::ImpersonateUpdater(ImpersonateUserStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &ImpersonateUpdater::storeWaiting);
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
    // Without a store (it could not be opened, which was said at start) there is nothing to keep.
    if (!m_store.isAvailable()) {
        return;
    }
    // A later report of a waiting token replaces it in its place; others queue behind, so the
    // reports are stored in the order they came.
    for (ImpersonateUserData &queued : m_waiting) {
        if (queued.userToken == record.userToken) {
            queued = record;
            return;
        }
    }
    if (m_waiting.isEmpty() && write(record) != Outcome::Busy) {
        return;
    }
    if (m_waiting.isEmpty()) {
        qCInfo(lcImpersonateUpdater, "Another program is writing the stored users; reported users wait until it is done");
    }
    m_waiting.append(record);
    m_retry.start();
}

void ImpersonateUpdater::storeWaiting()
{
    while (!m_waiting.isEmpty()) {
        if (write(m_waiting.first()) == Outcome::Busy) {
            m_retry.start();
            return;
        }
        m_waiting.removeFirst();
    }
}

ImpersonateUpdater::Outcome ImpersonateUpdater::write(const ImpersonateUserData &record)
{
    // Read, merge and write under one write lock, so nothing another writer stores in between is
    // overwritten with older values. The lock is not waited for: the window would freeze.
    bool lookupFailed = false;
    const auto stored = m_store.tryTransaction([&]() -> tl::expected<void, QString> {
        const auto previous = lookupStored(record.userToken);
        if (!previous) {
            lookupFailed = true;
            return tl::unexpected(previous.error());
        }
        const auto written = m_store.upsert(*previous ? mergeStoredValues(record, **previous) : record);
        if (!written) {
            return tl::unexpected(written.error());
        }
        return {};
    });
    if (stored && !*stored) {
        return Outcome::Busy;
    }
    if (stored) {
        m_failing = false;
        return Outcome::Stored;
    }
    // Storing the report without the stored values would reset the developer's favourite and
    // notes: the report is skipped and the record stays as it was.
    qCWarning(lcImpersonateUpdater, "The reported user %s was not stored (%s): %s", qUtf8Printable(record.userToken),
        lookupFailed ? "its stored record could not be read" : "the store refused the update",
        qUtf8Printable(stored.error()));
    if (!m_failing) {
        m_failing = true;
        emit storeFailed(stored.error());
    }
    return Outcome::Failed;
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

tl::expected<std::optional<ImpersonateUserData>, QString> ImpersonateUpdater::lookupStored(const QString &userToken)
{
    return m_store.fetchByToken(userToken);
}
