// The key → English default table of every user-visible text.
#include "L10nTable.h"

namespace L10n::detail {

const Entry kEntries[] = {
    // Shared widgets
    {"FileSaver.filename", "File Name:"},
    {"CopiedToPasteboard", "Copied to Pasteboard!"},
    {"Copy", "Copy"},
    {"Menu.closeSidebar", "Close sidebar"},
    {"Menu.closeWindow", "Close window"},
    {"Metrics.help", "Open metrics window"},
    {"Console.help", "Open connection console"},
    {"User.help", "Open user window"},
    {"Impersonation.help", "Open impersonation page"},
    {"Setting.help", "Open Settings page"},
    {"Milestone.help", "Open Milestone window"},
    {"Deeplink.help", "Open Deeplink window"},
    // Alerts raised by the session core
    {"ErrorSendingMessageAlert.title", "Error sending message to peer"},
    {"ErrorSendingMessageAlert.ok", "Ok"},
    {"LegacyCommunicationAlert.Title", "Legacy communication protocol"},
    {"LegacyCommunicationAlert.message",
     "It seems you are trying to connect an application that supports a legacy communication object.\n\n"
     "You will need to update your app in order to continue using Morvenda.\n\n%@"},
    {"BinaryDecodingAlert.title", "Binary encoding is enabled"},
    {"BinaryDecodingAlert.message",
     "Morvenda does not support decoding binary protobuf messages. If you keep it enabled, you won't be "
     "able to see requests and response bodies on the app."},
    {"BinaryDecodingAlert.action", "Disable binary encoding setting"},
    {"BinaryDecodingAlert.cancel", "Cancel"},
    {"Impersonation.MismatchUserAlert.title", "Are you sure you want to do this?"},
    {"Impersonation.MismatchUserAlert.message",
     "It seems you're trying to impersonate a user from a different app, which can lead to you being "
     "logged out during the impersonation request."},
    {"Impersonation.MismatchUserAlert.continue", "Continue with impersonation"},
    {"Impersonation.MismatchUserAlert.cancel", "Cancel"},
};

const std::size_t kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);

} // namespace L10n::detail
