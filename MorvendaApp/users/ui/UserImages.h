// A user's round profile picture with its retailer's country flag in the bottom-right corner.
// While the picture loads, when it fails, the circle stays grey; with neither a picture address
// nor a flag nothing is drawn and no room is taken. The widget serves panels; the static paint
// lets list delegates draw the same thing. Main thread; the AvatarLoader outlives the widget.
#pragma once

#include "AvatarLoader.h"

#include "MorvendaModel/User.h"

#include <QWidget>

#include <optional>

class UserImages : public QWidget
{
    Q_OBJECT

public:
    // What one drawing needs; `picture` is absent when the user has no picture address.
    struct Content
    {
        std::optional<AvatarLoader::Picture> picture;
        std::optional<QString> flag;
    };

    // `size` is the picture's diameter in logical pixels; the flag is set at a third of it.
    UserImages(AvatarLoader &loader, int size, QWidget *parent = nullptr);

    void setUser(const std::optional<User> &user);
    const Content &content() const { return m_content; }

    // Asks the loader for the user's picture at `size` and maps the retailer's country to a flag.
    static Content contentFor(AvatarLoader &loader, const User &user, int size, qreal devicePixelRatio);
    static QSize sizeFor(const Content &content, int size, const QFont &font);
    // Draws `content` with its top-left corner at `topLeft`.
    static void paint(QPainter *painter, const QPoint &topLeft, int size, const Content &content,
        const QPalette &palette, const QFont &font);
    // The picture alone in a `size` circle at `topLeft`: the image once loaded, else the grey disc.
    static void paintPicture(QPainter *painter, const QRect &circle, const AvatarLoader::Picture *picture,
        const QPalette &palette);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void reload();

    AvatarLoader &m_loader;
    int m_size;
    std::optional<User> m_user;
    Content m_content;
};
