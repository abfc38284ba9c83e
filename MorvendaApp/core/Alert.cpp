#include "Alert.h"

#include "L10n.h"

#include <algorithm>

namespace Alert {

bool ViewState::isRepeatOf(const ViewState &other) const
{
    const auto acts = [](const Action &action) { return bool(action.completion); };
    if (title != other.title || message != other.message || actions.size() != other.actions.size()
        || std::any_of(actions.cbegin(), actions.cend(), acts) || std::any_of(other.actions.cbegin(), other.actions.cend(), acts)) {
        return false;
    }
    for (qsizetype i = 0; i < actions.size(); ++i) {
        if (actions[i].title != other.actions[i].title) {
            return false;
        }
    }
    return true;
}

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
