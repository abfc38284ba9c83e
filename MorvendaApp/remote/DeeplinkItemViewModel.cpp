#include "DeeplinkItemViewModel.h"

#include "DeeplinkUrl.h"
#include "RemoteConstants.h"

#include "MorvendaApp/core/L10n.h"
#include "MorvendaApp/session/MorvendaListener.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcDeeplinkItemViewModel, "morvenda.DeeplinkItemViewModel")

namespace DeeplinkEnvironments {

const QList<DeeplinkEnvironment> &allCases()
{
    static const QList<DeeplinkEnvironment> cases = {DeeplinkEnvironment::Staging, DeeplinkEnvironment::Production};
    return cases;
}

QString rawValue(DeeplinkEnvironment environment)
{
    return environment == DeeplinkEnvironment::Staging ? QStringLiteral("staging") : QStringLiteral("production");
}

std::optional<DeeplinkEnvironment> fromRawValue(QStringView text)
{
    for (DeeplinkEnvironment environment : allCases()) {
        if (text == rawValue(environment))
            return environment;
    }
    return std::nullopt;
}

} // namespace DeeplinkEnvironments

DeeplinkBaseAddresses DeeplinkBaseAddresses::standard()
{
    return {RemoteConstants::stagingOrigin(), RemoteConstants::productionOrigin()};
}

const QString &DeeplinkBaseAddresses::of(DeeplinkEnvironment environment) const
{
    return environment == DeeplinkEnvironment::Staging ? staging : production;
}

DeeplinkItemViewModel::DeeplinkItemViewModel(Deeplinks::Case deeplinkCase, DeeplinkEnvironment environment,
    DeeplinkBaseAddresses bases, QObject *parent)
    : QObject(parent)
    , m_case(deeplinkCase)
    , m_deeplink(Deeplinks::deeplink(deeplinkCase))
    , m_environment(environment)
    , m_bases(std::move(bases))
{
    for (const DeeplinkComponent &component : m_deeplink.components) {
        if (component.isTyped())
            m_inputs.insert(component.id(), QString());
    }
}

std::optional<QString> DeeplinkItemViewModel::url() const
{
    return DeeplinkUrl::build(m_bases.of(m_environment), m_deeplink, m_inputs);
}

void DeeplinkItemViewModel::sendDeeplink()
{
    const std::optional<QString> link = url();
    if (!m_session) {
        qCWarning(lcDeeplinkItemViewModel) << "deeplink not sent: the panel has no server yet";
        return;
    }
    if (!link) {
        qCWarning(lcDeeplinkItemViewModel) << "cannot build a deeplink on the origin" << m_bases.of(m_environment);
        m_session->presentAlert(Alert::ViewState{
            L10n::text("Deeplink.UnableToBuild.title"), L10n::text("Deeplink.UnableToBuild.body"), {}});
        return;
    }
    if (const MorvendaListener::ConnectionPtr connection = m_session->activeConnection())
        m_session->send(AppPayload::runDeeplink(*link), connection);
}
