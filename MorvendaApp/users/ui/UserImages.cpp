#include "UserImages.h"

#include "MorvendaApp/components/NamedColors.h"
#include "MorvendaApp/users/CountryFlagMapper.h"

#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kPictureTrailingPadding = 4;
constexpr int kFlagTrailingPadding = 5;

QFont flagFont(const QFont &base, int size)
{
    QFont font = base;
    font.setPixelSize(qMax(1, size / 3));
    return font;
}

int devicePixels(int size, qreal devicePixelRatio)
{
    return qMax(1, qRound(size * devicePixelRatio));
}

} // namespace

UserImages::UserImages(AvatarLoader &loader, int size, QWidget *parent)
    : QWidget(parent)
    , m_loader(loader)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_loader, &AvatarLoader::finished, this, [this](const QUrl &url) {
        if (m_user && m_user->profileImageURL() && m_user->profileImageURL()->qurl() == url) {
            reload();
        }
    });
}

void UserImages::setUser(const std::optional<User> &user)
{
    m_user = user;
    reload();
}

void UserImages::reload()
{
    m_content = m_user ? contentFor(m_loader, *m_user, m_size, devicePixelRatioF()) : Content{};
    updateGeometry();
    update();
}

UserImages::Content UserImages::contentFor(AvatarLoader &loader, const User &user, int size, qreal devicePixelRatio)
{
    Content content;
    if (user.profileImageURL()) {
        content.picture = loader.picture(user.profileImageURL()->qurl(), devicePixels(size, devicePixelRatio));
    }
    content.flag = CountryFlagMapper().flag(user.retailer() ? user.retailer()->country() : std::nullopt);
    return content;
}

QSize UserImages::sizeFor(const Content &content, int size, const QFont &font)
{
    QSize result;
    if (content.picture) {
        result = QSize(size + kPictureTrailingPadding, size);
    }
    if (content.flag) {
        const QFontMetrics metrics(flagFont(font, size));
        result = result.expandedTo(
            QSize(metrics.horizontalAdvance(*content.flag) + kFlagTrailingPadding, metrics.height()));
    }
    return result.isValid() ? result : QSize(0, 0);
}

void UserImages::paintPicture(QPainter *painter, const QRect &circle, const AvatarLoader::Picture *picture,
    const QPalette &palette)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath path;
    path.addEllipse(QRectF(circle));
    if (picture && picture->status == AvatarLoader::Status::Loaded) {
        painter->setClipPath(path);
        painter->drawImage(circle, picture->image);
    } else {
        QColor grey = namedColor(NamedColor::Secondary, palette);
        grey.setAlphaF(grey.alphaF() * 0.5f);
        painter->fillPath(path, grey);
    }
    painter->restore();
}

void UserImages::paint(QPainter *painter, const QPoint &topLeft, int size, const Content &content,
    const QPalette &palette, const QFont &font)
{
    const QSize total = sizeFor(content, size, font);
    if (content.picture) {
        paintPicture(painter, QRect(topLeft, QSize(size, size)), &*content.picture, palette);
    }
    if (content.flag) {
        const QFont font3 = flagFont(font, size);
        const QFontMetrics metrics(font3);
        const QRect flagRect(topLeft.x() + total.width() - kFlagTrailingPadding - metrics.horizontalAdvance(*content.flag),
            topLeft.y() + total.height() - metrics.height(), metrics.horizontalAdvance(*content.flag), metrics.height());
        painter->save();
        painter->setFont(font3);
        painter->setPen(namedColor(NamedColor::Primary, palette));
        painter->drawText(flagRect, Qt::AlignCenter, *content.flag);
        painter->restore();
    }
}

QSize UserImages::sizeHint() const
{
    return sizeFor(m_content, m_size, font());
}

void UserImages::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QSize own = sizeFor(m_content, m_size, font());
    // Centred when the layout gives more room than asked for.
    paint(&painter, QPoint((width() - own.width()) / 2, (height() - own.height()) / 2), m_size, m_content,
        palette(), font());
}
