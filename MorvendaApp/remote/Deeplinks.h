// The fixed catalogue of in-app destinations the deeplink panel offers, each a display name and
// the ordered parts its link is built from. Compiled in; plain values, safe on any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

struct DeeplinkComponent
{
    enum class Kind {
        Input,          // a path segment the developer types; `first` is the placeholder
        Path,           // a constant path segment `first`
        QueryItem,      // a constant query item `first`=`second`
        QueryItemInput, // a query item with key `first` whose value is typed; `second` is the placeholder
    };

    Kind kind;
    QString first;
    QString second;

    static DeeplinkComponent input(const QString &placeholder) { return {Kind::Input, placeholder, {}}; }
    static DeeplinkComponent path(const QString &text) { return {Kind::Path, text, {}}; }
    static DeeplinkComponent queryItem(const QString &key, const QString &value) { return {Kind::QueryItem, key, value}; }
    static DeeplinkComponent queryItemInput(const QString &key, const QString &placeholder)
    {
        return {Kind::QueryItemInput, key, placeholder};
    }

    // "input-<placeholder>", "path-<text>" or "query-<key>": the key of a typed value.
    QString id() const;
    bool isTyped() const { return kind == Kind::Input || kind == Kind::QueryItemInput; }
    // The text shown in an empty input field; empty for constant parts.
    QString placeholder() const;

    friend bool operator==(const DeeplinkComponent &, const DeeplinkComponent &) = default;
};

struct Deeplink
{
    QString name;
    QList<DeeplinkComponent> components;
};

// One item of a row's link preview: a fixed text, or the field of a typed part.
struct DeeplinkPreviewPart
{
    enum class Kind {
        Text,  // "/", "?", "key=value" or "key=": a localized key whose default is the text itself
        Label, // a constant path segment, shown verbatim
        Field, // an input field; `text` is its placeholder, `id` its component's id
    };

    Kind kind;
    QString text;
    QString id;

    friend bool operator==(const DeeplinkPreviewPart &, const DeeplinkPreviewPart &) = default;
};

namespace Deeplinks {

enum class Case {
    Generic, Home, Welcome, MultiUserAccountCreation, VeltoDirectSignUp, ResetPassword, OrderList,
    OrderSample, OrderSamples, OrderDetails, ShowFreeReturnsModal, ShowEmailPromptModal,
    ShowroomEducation, EoriModal, OstraneEnroll, Messages, TopShops, Brand, BrandVideo, Product,
    Category, FlashSales, WarehouseSales, PaymentMethods, Cart, BrandCart, BrandInvoice,
    BrandReferrals, Board, FollowingBoards, Sample, Support,
};

// The 32 cases in catalogue order.
const QList<Case> &allCases();
// The case name ("orderDetails"), which is also its identity.
QString rawValue(Case c);
// Exactly one of the 32 case names, compared case-sensitively.
std::optional<Case> fromRawValue(QStringView text);
Deeplink deeplink(Case c);

// The preview of a link, component by component: "/" before every path part and "?" before
// every query part (never "&", unlike the link itself).
QList<DeeplinkPreviewPart> previewParts(const Deeplink &deeplink);

// The cases, in catalogue order, whose display name contains `filter` case-insensitively (the
// text is not trimmed); all of them for an empty filter.
QList<Case> filtered(const QString &filter);

} // namespace Deeplinks
