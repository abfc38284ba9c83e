#include "Alert.h"

#include "L10n.h"

namespace Alert {

ViewState ViewState::legacyCommunicationAlert(const QString &contextDescription)
{
    return ViewState{
        L10n::text("LegacyCommunicationAlert.Title"),
        L10n::tr("LegacyCommunicationAlert.message", contextDescription),
        {},
    };
}

ViewState ViewState::binaryDecodingAlert(std::function<void()> disableBinaryEncoding)
{
    return ViewState{
        L10n::text("BinaryDecodingAlert.title"),
        L10n::text("BinaryDecodingAlert.message"),
        {
            Action{L10n::text("BinaryDecodingAlert.action"), std::move(disableBinaryEncoding)},
            Action{L10n::text("BinaryDecodingAlert.cancel"), {}},
        },
    };
}

ViewState ViewState::errorSendingMessageAlert(const QString &errorDescription)
{
    return ViewState{
        L10n::text("ErrorSendingMessageAlert.title"),
        errorDescription,
        {Action{L10n::text("ErrorSendingMessageAlert.ok"), {}}},
    };
}

ViewState ViewState::mismatchUserAlert(std::function<void()> continueImpersonation)
{
    return ViewState{
        L10n::text("Impersonation.MismatchUserAlert.title"),
        L10n::text("Impersonation.MismatchUserAlert.message"),
        {
            Action{L10n::text("Impersonation.MismatchUserAlert.continue"), std::move(continueImpersonation)},
            Action{L10n::text("Impersonation.MismatchUserAlert.cancel"), {}},
        },
    };
}

} // namespace Alert
