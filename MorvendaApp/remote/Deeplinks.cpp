#include "Deeplinks.h"

#include "RemoteConstants.h"

#include <array>

QString DeeplinkComponent::id() const
{
    switch (kind) {
    case Kind::Input:
        return QStringLiteral("input-") + first;
    case Kind::Path:
        return QStringLiteral("path-") + first;
    case Kind::QueryItem:
    case Kind::QueryItemInput:
        break;
    }
    return QStringLiteral("query-") + first;
}

QString DeeplinkComponent::placeholder() const
{
    switch (kind) {
    case Kind::Input:
        return first;
    case Kind::QueryItemInput:
        return second;
    case Kind::Path:
    case Kind::QueryItem:
        break;
    }
    return {};
}

namespace Deeplinks {
namespace {

struct Entry
{
    Case c;
    const char *raw;
};

constexpr std::array<Entry, 32> kEntries = {{
    {Case::Generic, "generic"},
    {Case::Home, "home"},
    {Case::Welcome, "welcome"},
    {Case::MultiUserAccountCreation, "multiUserAccountCreation"},
    {Case::VeltoDirectSignUp, "veltoDirectSignUp"},
    {Case::ResetPassword, "resetPassword"},
    {Case::OrderList, "orderList"},
    {Case::OrderSample, "orderSample"},
    {Case::OrderSamples, "orderSamples"},
    {Case::OrderDetails, "orderDetails"},
    {Case::ShowFreeReturnsModal, "showFreeReturnsModal"},
    {Case::ShowEmailPromptModal, "showEmailPromptModal"},
    {Case::ShowroomEducation, "showroomEducation"},
    {Case::EoriModal, "eoriModal"},
    {Case::OstraneEnroll, "ostraneEnroll"},
    {Case::Messages, "messages"},
    {Case::TopShops, "topShops"},
    {Case::Brand, "brand"},
    {Case::BrandVideo, "brandVideo"},
    {Case::Product, "product"},
    {Case::Category, "category"},
    {Case::FlashSales, "flashSales"},
    {Case::WarehouseSales, "warehouseSales"},
    {Case::PaymentMethods, "paymentMethods"},
    {Case::Cart, "cart"},
    {Case::BrandCart, "brandCart"},
    {Case::BrandInvoice, "brandInvoice"},
    {Case::BrandReferrals, "brandReferrals"},
    {Case::Board, "board"},
    {Case::FollowingBoards, "followingBoards"},
    {Case::Sample, "sample"},
    {Case::Support, "support"},
}};

QString s(const char *text)
{
    return QString::fromLatin1(text);
}

DeeplinkComponent path(const char *text)
{
    return DeeplinkComponent::path(s(text));
}

DeeplinkComponent input(const char *placeholder)
{
    return DeeplinkComponent::input(s(placeholder));
}

QList<DeeplinkComponent> paths(std::initializer_list<const char *> texts)
{
    QList<DeeplinkComponent> out;
    for (const char *text : texts)
        out.append(path(text));
    return out;
}

} // namespace

const QList<Case> &allCases()
{
    static const QList<Case> cases = [] {
        QList<Case> out;
        for (const Entry &e : kEntries)
            out.append(e.c);
        return out;
    }();
    return cases;
}

QString rawValue(Case c)
{
    return s(kEntries[std::size_t(c)].raw);
}

std::optional<Case> fromRawValue(QStringView text)
{
    for (const Entry &e : kEntries) {
        if (text == QLatin1StringView(e.raw))
            return e.c;
    }
    return std::nullopt;
}

Deeplink deeplink(Case c)
{
    using C = DeeplinkComponent;
    switch (c) {
    case Case::Generic:
        return {s("Any Deeplink Path"), {input("Any path")}};
    case Case::Home:
        return {s("Home"), {}};
    case Case::Welcome:
        return {s("Account Registration"), {path("welcome")}};
    case Case::MultiUserAccountCreation:
        return {s("Multiuser account creation"),
            {path("welcome"), C::queryItem(s("signUp"), s("retailersubuser")),
                C::queryItemInput(s("ifuit"), s("InvitationToken"))}};
    case Case::VeltoDirectSignUp:
        return {s("Velto direct SignUp"),
            {path("welcome"), C::queryItemInput(RemoteConstants::brandAliasQueryKey(), s("brandAlias"))}};
    case Case::ResetPassword:
        return {s("Reset Password"), {C::queryItem(s("signIn"), s("reset-password"))}};
    case Case::OrderList:
        return {s("Orders List"), paths({"user", "account", "orders"})};
    case Case::OrderSample:
        return {s("Order Sample"), paths({"user", "account", "samples"}) << input("sampleRequestToken")};
    case Case::OrderSamples:
        return {s("Order Samples"), paths({"user", "account", "samples"})};
    case Case::OrderDetails:
        return {s("Order details"), paths({"user", "account", "orders"}) << input("brandOrderToken")};
    case Case::ShowFreeReturnsModal:
        return {s("Free returns modal"), {C::queryItem(s("showModal"), s("free_returns_info"))}};
    case Case::ShowEmailPromptModal:
        return {s("Marketing email prompt modal"), {C::queryItem(s("showModal"), s("email_marketing"))}};
    case Case::ShowroomEducation:
        return {s("Showroom education"), paths({"bottom-sheet", "showroomv2"})};
    case Case::EoriModal:
        return {s("EORI Modal"), paths({"eori-modal"})};
    case Case::OstraneEnroll:
        return {s("Ostrane enrollment"), paths({"user", "ostrane", "info", "enrol"})};
    case Case::Messages:
        return {s("Messages"), paths({"messages"})};
    case Case::TopShops:
        return {s("Top shops"), paths({"top-shop"})};
    case Case::Brand:
        return {s("Brand"), {path("brand"), input("brandToken")}};
    case Case::BrandVideo:
        return {s("Brand Video"), {path("video"), input("brandVideoToken")}};
    case Case::Product:
        return {s("Product"), {path("product"), input("productToken")}};
    case Case::Category:
        return {s("Category"), {path("category"), input("categoryToken")}};
    case Case::FlashSales:
        return {s("Flash Sales"), {path("flash-sale"), input("flashSaleToken")}};
    case Case::WarehouseSales:
        return {s("Warehouse Sales"),
            {path("flash-sale"), input("flashSaleToken"), C::queryItem(s("seasonal-warehouse-sales"), s("1"))}};
    case Case::PaymentMethods:
        return {s("Payment Methods"), paths({"payment-methods"})};
    case Case::Cart:
        return {s("Cart"), paths({"cart"})};
    case Case::BrandCart:
        return {s("Brand cart"), {path("brand-cart"), input("brandCartToken")}};
    case Case::BrandInvoice:
        return {s("Brand Invoice"), {path("brand-invoice"), input("brandInvoiceToken")}};
    case Case::BrandReferrals:
        return {s("Brand referrals"), paths({"user", "brand-referrals"})};
    case Case::Board:
        return {s("Board"), {path("boards"), input("retailerBoardToken")}};
    case Case::FollowingBoards:
        return {s("Following Boards"), paths({"boards", "following"})};
    case Case::Sample:
        return {s("Sample"), {path("sample"), input("inviteToken"), C::queryItemInput(s("brand"), s("brandToken"))}};
    case Case::Support:
        return {s("Support"), {path("support"), C::queryItemInput(s("contact"), s("contactID"))}};
    }
    return {};
}

QList<DeeplinkPreviewPart> previewParts(const Deeplink &deeplink)
{
    using Part = DeeplinkPreviewPart;
    const Part slash{Part::Kind::Text, QStringLiteral("/"), {}};
    const Part question{Part::Kind::Text, QStringLiteral("?"), {}};
    QList<Part> parts;
    for (const DeeplinkComponent &component : deeplink.components) {
        switch (component.kind) {
        case DeeplinkComponent::Kind::Path:
            parts << slash << Part{Part::Kind::Label, component.first, {}};
            break;
        case DeeplinkComponent::Kind::Input:
            parts << slash << Part{Part::Kind::Field, component.placeholder(), component.id()};
            break;
        case DeeplinkComponent::Kind::QueryItem:
            parts << question << Part{Part::Kind::Text, component.first + u'=' + component.second, {}};
            break;
        case DeeplinkComponent::Kind::QueryItemInput:
            parts << question << Part{Part::Kind::Text, component.first + u'=', {}}
                  << Part{Part::Kind::Field, component.placeholder(), component.id()};
            break;
        }
    }
    return parts;
}

QList<Case> filtered(const QString &filter)
{
    if (filter.isEmpty())
        return allCases();
    const QString needle = filter.toLower();
    QList<Case> out;
    for (Case c : allCases()) {
        if (deeplink(c).name.toLower().contains(needle))
            out.append(c);
    }
    return out;
}

} // namespace Deeplinks
